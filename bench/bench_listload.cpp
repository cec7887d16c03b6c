// Times the history log round trip on a list far larger than any /24 survey leaves:
// 100,000 rows, a third of them with Japanese host names.
// Usage: bench_listload [rows] [repetitions]
#include "store/HistoryLog.h"
#include "survey/AddressList.h"
#include "survey/SurveyLists.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QStringList makeList(int rows)
{
    QStringList list{AddressList::csvHeader()};
    list.reserve(rows + 1);
    for (int i = 0; i < rows; ++i) {
        const QString ip = QStringLiteral("198.18.0.%1").arg(i % 254 + 1);
        QString host;
        switch (i % 6) {
        case 0:
            host = QStringLiteral(u"経理部サーバー%1号機").arg(i);
            break;
        case 1:
            host = QStringLiteral(u"ﾌﾟﾘﾝﾀ-%1").arg(i);
            break;
        case 2:
            break; // no name found
        case 3:
            host = QStringLiteral(u"会議室のノートパソコン～その%1～").arg(i);
            break;
        default:
            host = QStringLiteral("ws-%1.office.lab.example").arg(i);
            break;
        }
        const QString mac = i % 5 == 4 ? QString()
                                       : QStringLiteral("00-1B-21-%1-%2-%3")
                                             .arg(i >> 16 & 0xff, 2, 16, QLatin1Char('0'))
                                             .arg(i >> 8 & 0xff, 2, 16, QLatin1Char('0'))
                                             .arg(i & 0xff, 2, 16, QLatin1Char('0'))
                                             .toUpper();
        list.append(MakeCsvRow(ip, host, mac));
    }
    return list;
}

void report(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-12s min %8.1f ms   median %8.1f ms   max %8.1f ms\n", what, ms.front(),
                ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rows = args.size() > 1 ? args.at(1).toInt() : 100000;
    const int reps = args.size() > 2 ? args.at(2).toInt() : 5;
    if (rows <= 0 || reps <= 0) {
        std::fprintf(stderr, "usage: bench_listload [rows] [repetitions]\n");
        return 2;
    }

    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("Netroscope.log"));
    const QStringList lstDat2 = makeList(rows);

    std::vector<double> saveMs, loadMs;
    qsizetype loadedRows = 0;
    for (int r = 0; r < reps; ++r) {
        QElapsedTimer timer;
        timer.start();
        if (!subLogSave(lstDat2, log).ok) {
            std::fprintf(stderr, "save failed\n");
            return 1;
        }
        saveMs.push_back(timer.nsecsElapsed() / 1e6);

        // As the window loads it: the file, then both lists built off the GUI thread.
        timer.restart();
        LoadedList loaded = subListLoad(log);
        const SurveyLists::Content lists = SurveyLists::fromStored(loaded.rows);
        loadMs.push_back(timer.nsecsElapsed() / 1e6);
        if (!loaded.opened || lists.lstDat2 != lstDat2) {
            std::fprintf(stderr, "load did not give the saved rows back\n");
            return 1;
        }
        loadedRows = lists.lstData.size() - 1;
    }

    std::printf("%d rows (%lld loaded), log of %lld bytes, %d repetitions\n", rows,
                qint64(loadedRows), qint64(QFileInfo(log).size()), reps);
    report("subLogSave", saveMs);
    report("subListLoad + fromStored", loadMs);
    return 0;
}
