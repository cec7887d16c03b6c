// Times compareLists on two lists far larger than any LAN: 1,000,000 rows each, with
// about 1 % of the rows changed in each way (new, gone, changed hands, renamed, moved).
// Nothing is sent anywhere: the addresses are only text.
// Usage: bench_listchanges [rows] [repetitions]
#include "survey/ListChanges.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <random>
#include <vector>

namespace {

QString address(int i)
{
    return QStringLiteral("10.%1.%2.%3").arg(i >> 16 & 0xff).arg(i >> 8 & 0xff).arg(i & 0xff);
}

QString mac(int i)
{
    return QStringLiteral("00-1B-21-%1-%2-%3")
        .arg(i >> 16 & 0xff, 2, 16, QLatin1Char('0'))
        .arg(i >> 8 & 0xff, 2, 16, QLatin1Char('0'))
        .arg(i & 0xff, 2, 16, QLatin1Char('0'))
        .toUpper();
}

// Row i of both lists; every 20th row of `after` has changed, in turn in each way.
void makeLists(int rows, QList<AddressEntry>& before, QList<AddressEntry>& after)
{
    before.reserve(rows);
    after.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        const QString ip = address(i);
        // A quarter of the addresses held by nobody.
        AddressEntry was = i % 4 == 3 ? AddressEntry{ip, {}, {}}
                                      : AddressEntry{ip, QStringLiteral("ws-%1").arg(i), mac(i)};
        AddressEntry is = was;
        if (i % 20 == 0) {
            switch (i / 20 % 5) {
            case 0: // new: a device where nobody was
                was = {ip, {}, {}};
                break;
            case 1: // gone
                is = {ip, {}, {}};
                break;
            case 2: // another device took the address
                is.mac = mac(i + (1 << 23));
                break;
            case 3: // renamed
                is.host += QStringLiteral("-new");
                break;
            default: // moved to the next free address (i + 3 is held by nobody)
                is = {ip, {}, {}};
                break;
            }
        }
        before.append(was);
        after.append(is);
    }
    // The moved devices now hold the free address after theirs.
    for (int i = 0; i + 3 < rows; i += 20) {
        if (i / 20 % 5 == 4 && !before[i].mac.isEmpty())
            after[i + 3] = {address(i + 3), before[i].host, before[i].mac};
    }
}

// CPU time beside the wall clock: on a shared machine the two differ widely.
void time(const char* what, const QList<AddressEntry>& before, const QList<AddressEntry>& after,
          int reps)
{
    std::vector<double> ms;
    std::vector<double> cpuMs;
    std::map<QString, int> kinds;
    for (int r = 0; r < reps; ++r) {
        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpu = std::clock();
        const std::vector<ListChange> changes = compareLists(before, after);
        cpuMs.push_back(double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        kinds.clear();
        for (const ListChange& change : changes)
            ++kinds[changeKindWord(change.kind)];
    }
    std::printf("%s; changes:", what);
    for (const auto& [word, count] : kinds)
        std::printf(" %s %d", qPrintable(word), count);
    std::printf("\n");
    for (auto [clock, times] : {std::pair{"wall", ms}, std::pair{"cpu", cpuMs}}) {
        std::sort(times.begin(), times.end());
        std::printf("  compareLists %-4s min %8.1f ms   median %8.1f ms   max %8.1f ms\n", clock,
                    times.front(), times[times.size() / 2], times.back());
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rows = args.size() > 1 ? args.at(1).toInt() : 1000000;
    const int reps = args.size() > 2 ? args.at(2).toInt() : 5;
    if (rows <= 0 || rows > (1 << 24) || reps <= 0) {
        std::fprintf(stderr, "usage: bench_listchanges [rows up to 16777216] [repetitions]\n");
        return 2;
    }

    QList<AddressEntry> before;
    QList<AddressEntry> after;
    makeLists(rows, before, after);

    std::printf("%d rows each, %d repetitions\n", rows, reps);
    time("in address order", before, after, reps);
    // A reference file sorted some other way (by hand, by name), read in that order:
    // its texts lie in memory in its own order.
    std::shuffle(before.begin(), before.end(), std::mt19937(20261207));
    for (AddressEntry& entry : before)
        entry = {QString(entry.ip.constData(), entry.ip.size()),
                 QString(entry.host.constData(), entry.host.size()),
                 QString(entry.mac.constData(), entry.mac.size())};
    time("before shuffled", before, after, reps);
    return 0;
}
