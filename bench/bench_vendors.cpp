// Times the vendor names: loading the IEEE registries Debian ships (about 46,000
// blocks, goal under 100 ms) and looking up a MAC in them (goal: microseconds). First
// it loads a registry whose one record has 8 MiB of commas, what a hostile file may
// hold: the peak memory the load adds, the file's own bytes included, stays under 64 MB.
// Usage: bench_vendors [repetitions] [folder...]   (default: the system's folders)
#include "store/VendorRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

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

// The peak resident memory so far, in kB.
qint64 peakKb()
{
    rusage usage{};
    return ::getrusage(RUSAGE_SELF, &usage) == 0 ? qint64(usage.ru_maxrss) : -1;
}

// Loads one record of 8 MiB of commas after its name; false when the name is lost or
// the load took more memory than the goal.
bool commasCostTheirBytes()
{
    constexpr qint64 kGoalKb = 64 * 1024;
    QTemporaryDir dir;
    QFile file(QDir(dir.path()).filePath(QStringLiteral("oui.csv")));
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly))
        return false;
    // Written in pieces, so that the peak before the load is not the file's size.
    file.write("MA-L,001A2B,Comma Maker");
    const QByteArray commas(64 * 1024, ',');
    for (int k = 0; k < 128; ++k)
        file.write(commas);
    if (file.write("\n") != 1)
        return false;
    file.close();
    const qint64 before = peakKb();
    const VendorRegistry registry = VendorRegistry::load({dir.path()}, {});
    const qint64 grown = peakKb() - before;
    std::printf("8 MiB of commas: peak memory +%lld kB (goal under %lld kB)\n", grown, kGoalKb);
    return registry.describe(u"00-1A-2B-00-00-01") == u"Comma Maker" && grown < kGoalKb;
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

    if (!commasCostTheirBytes())
        return 1;

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
