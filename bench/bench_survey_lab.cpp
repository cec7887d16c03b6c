// Whole new surveys of the lab's /24 with the system's own probes, headless: the
// same engine and probes the window runs. Inside the network lab:
//   tests/lab/netlab.sh run build/bench/bench/bench_survey_lab [bound...]
//       one survey per in-flight bound: its time (default: 8 16 32 64 128 255)
//   ... bench_survey_lab --rows
//       one survey at the default bound; the rows on standard output, tab-separated
//       (what bench/compare-peers.sh times and checks against the lab)
//   ... bench_survey_lab --repeat N
//       N surveys in a row with one engine, as the window runs them: after each, its
//       time, resident memory, heap in use, open descriptors, threads and child
//       processes
#include "probes/SystemProbes.h"
#include "survey/AddressList.h"
#include "survey/ProcessLimits.h"
#include "survey/SurveyEngine.h"
#include "survey/SurveyLists.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>

#include <cstdio>

#include <malloc.h>

namespace {

qint64 statusField(const QByteArray& name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

int childProcesses()
{
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    int children = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : entries) {
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        children += rest.size() > 1 && rest.at(1) == self;
    }
    return children;
}

// One whole survey of prefix.1-254; its time in milliseconds.
qint64 survey(SurveyEngine& engine, const QString& prefix, const OwnIdentity& me)
{
    QEventLoop loop;
    QObject::connect(&engine, &SurveyEngine::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    engine.startNew(prefix + u'.', 1, 254, me);
    loop.exec();
    return clock.elapsed();
}

} // namespace

int main(int argc, char* argv[])
{
    raiseOpenFileLimit();
    QCoreApplication app(argc, argv);
    const QString prefix = qEnvironmentVariable("NETLAB_PREFIX");
    if (prefix.isEmpty()) {
        std::fprintf(stderr, "run inside the lab: tests/lab/netlab.sh run %s\n", argv[0]);
        return 2;
    }
    const QStringList args = app.arguments().mid(1);
    auto probes = std::make_shared<SystemProbes>();
    const OwnIdentity me = probes->ownIdentity();
    SurveyLists lists;
    SurveyEngine engine(probes, lists);

    if (args.value(0) == QStringLiteral("--rows")) {
        survey(engine, prefix, me);
        const QStringList rows = lists.lstDat2();
        for (qsizetype i = 1; i < rows.size(); ++i) {
            const AddressEntry row = SplitCsvRow(rows.at(i));
            std::printf("%s\t%s\t%s\n", qPrintable(row.ip), row.host.toUtf8().constData(),
                        qPrintable(row.mac));
        }
        return 0;
    }

    if (args.value(0) == QStringLiteral("--repeat")) {
        const int runs = args.value(1).toInt();
        for (int run = 1; run <= runs; ++run) {
            const qint64 ms = survey(engine, prefix, me);
            const ProcessLimits limits = currentProcessLimits();
            // Heap in use apart from resident memory: the pool threads' stacks and the
            // allocator's per-thread arenas grow the latter without any leak.
            std::printf("survey %2d: %5lld ms, %3d rows, RSS %6lld kB, heap in use %6zu kB, "
                        "%3lld descriptors, %3lld threads, %d child processes\n",
                        run, ms, lists.entryCount(), statusField("VmRSS"),
                        mallinfo2().uordblks / 1024, limits.filesInUse, limits.tasksInUse,
                        childProcesses());
            std::fflush(stdout);
        }
        return 0;
    }

    QList<int> bounds;
    for (const QString& arg : args)
        bounds.append(arg.toInt());
    if (bounds.isEmpty())
        bounds = {8, 16, 32, 64, 128, SurveyEngine::kDefaultMaxInFlight};
    for (int bound : bounds) {
        engine.setMaxInFlight(bound);
        const qint64 ms = survey(engine, prefix, me);
        std::printf("in flight %4d (%4d after limits): %6lld ms for %d rows\n", bound,
                    engine.inFlight(), ms, lists.entryCount());
        std::fflush(stdout);
    }
    return 0;
}
