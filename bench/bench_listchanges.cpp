// Times compareLists on two lists far larger than any LAN: 1,000,000 rows each, with
// about 1 % of the rows changed in each way (new, gone, changed hands, renamed, moved).
// Nothing is sent anywhere: the addresses are only text.
// Usage: bench_listchanges [rows] [repetitions]
#include "survey/ListChanges.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <map>
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

    std::vector<double> ms;
    std::map<QString, int> kinds;
    for (int r = 0; r < reps; ++r) {
        QElapsedTimer timer;
        timer.start();
        const std::vector<ListChange> changes = compareLists(before, after);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        kinds.clear();
        for (const ListChange& change : changes)
            ++kinds[changeKindWord(change.kind)];
    }

    std::sort(ms.begin(), ms.end());
    std::printf("%d rows each, %d repetitions; changes:", rows, reps);
    for (const auto& [word, count] : kinds)
        std::printf(" %s %d", qPrintable(word), count);
    std::printf("\ncompareLists min %8.1f ms   median %8.1f ms   max %8.1f ms\n", ms.front(),
                ms[ms.size() / 2], ms.back());
    return 0;
}
