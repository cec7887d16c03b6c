// Saves a large log again and again until it is killed; the kill test starts it.
// Usage: logsave_child <log path> <rows>
#include "store/HistoryLog.h"

#include "BigLog.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    const QString log = args.at(1);
    const QStringList lstDat2 = bigLogList(args.at(2).toInt());
    for (;;) {
        std::fputs("saving\n", stdout);
        std::fflush(stdout);
        if (!subLogSave(lstDat2, log).ok)
            return 1;
        std::fputs("saved\n", stdout);
        std::fflush(stdout);
    }
}
