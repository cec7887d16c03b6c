// Times a whole new survey of the lab's /24 with the system's own probes, for a
// series of in-flight bounds. Run it inside the network lab:
//   tests/lab/netlab.sh run build/bench/bench/bench_survey_lab [bound...]
#include "probes/SystemProbes.h"
#include "survey/SurveyEngine.h"
#include "survey/SurveyLists.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString prefix = qEnvironmentVariable("NETLAB_PREFIX");
    if (prefix.isEmpty()) {
        std::fprintf(stderr, "run inside the lab: tests/lab/netlab.sh run %s\n", argv[0]);
        return 2;
    }
    QList<int> bounds;
    for (int i = 1; i < argc; ++i)
        bounds.append(QString::fromLocal8Bit(argv[i]).toInt());
    if (bounds.isEmpty())
        bounds = {8, 16, 32, 64, 128};

    auto probes = std::make_shared<SystemProbes>();
    const OwnIdentity me = probes->ownIdentity();
    for (int bound : bounds) {
        SurveyLists lists;
        SurveyEngine engine(probes, lists);
        engine.setMaxInFlight(bound);
        QEventLoop loop;
        QObject::connect(&engine, &SurveyEngine::finished, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        engine.startNew(prefix + u'.', 1, 254, me);
        loop.exec();
        std::printf("in flight %4d: %6lld ms for %d rows\n", bound, clock.elapsed(),
                    lists.entryCount());
        std::fflush(stdout);
    }
    return 0;
}
