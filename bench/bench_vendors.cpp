// Times the vendor names: loading the IEEE registries Debian ships (about 46,000
// blocks, goal under 100 ms) and looking up a MAC in them (goal: microseconds).
// Usage: bench_vendors [repetitions] [folder...]   (default: the system's folders)
#include "probes/VendorRegistry.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// MACs as the rows show them; a fixed seed, so that runs compare. Group addresses are
// left out: they are never looked up past their first byte.
QStringList sampleMacs(int count)
{
    QRandomGenerator random(20240601);
    QStringList macs;
    macs.reserve(count);
    for (int i = 0; i < count; ++i) {
        const quint64 value = random.generate64() & 0xFEFFFFFFFFFFull;
        QString mac;
        for (int byte = 5; byte >= 0; --byte) {
            if (byte < 5)
                mac += u'-';
            mac += QString::number((value >> (8 * byte)) & 0xFF, 16).rightJustified(2, u'0');
        }
        macs.append(mac.toUpper());
    }
    return macs;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const int reps = args.size() > 1 ? args.at(1).toInt() : 9;
    const QStringList folders = args.size() > 2 ? args.mid(2) : VendorRegistry::systemFolders();
    if (reps <= 0) {
        std::fprintf(stderr, "usage: bench_vendors [repetitions] [folder...]\n");
        return 2;
    }

    std::vector<double> loadMs;
    VendorRegistry registry;
    for (int r = 0; r < reps; ++r) {
        QElapsedTimer timer;
        timer.start();
        registry = VendorRegistry::load(folders, {});
        loadMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (registry.size() == 0) {
        std::fprintf(stderr, "no registry in %s\n", qPrintable(folders.join(u", ")));
        return 1;
    }
    std::printf("%lld blocks from %s, %d loads\n", qint64(registry.size()),
                qPrintable(folders.join(u", ")), reps);
    std::printf("load      min %8.1f ms   median %8.1f ms   max %8.1f ms\n",
                *std::min_element(loadMs.begin(), loadMs.end()), median(loadMs),
                *std::max_element(loadMs.begin(), loadMs.end()));

    // Random MACs mostly miss every block and so walk all sizes: the slow case.
    const QStringList macs = sampleMacs(200000);
    std::vector<double> lookupNs;
    qsizetype named = 0;
    for (int r = 0; r < reps; ++r) {
        named = 0;
        QElapsedTimer timer;
        timer.start();
        for (const QString& mac : macs)
            named += registry.describe(mac).isEmpty() ? 0 : 1;
        lookupNs.push_back(double(timer.nsecsElapsed()) / double(macs.size()));
    }
    std::printf("lookup    median %8.0f ns per MAC (%lld of %lld named or marked)\n",
                median(lookupNs), qint64(named), qint64(macs.size()));
    return 0;
}
