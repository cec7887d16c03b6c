#include "survey/ListChanges.h"

#include "probes/packets/ProbeText.h"
#include "text/TextFile.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>

namespace {

bool isSurveyForm(QStringView mac)
{
    if (mac.size() != 17)
        return false;
    for (qsizetype i = 0; i < mac.size(); ++i) {
        const char16_t c = mac[i].unicode();
        const bool ok =
            i % 3 == 2 ? c == u'-' : (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
        if (!ok)
            return false;
    }
    return true;
}

// One form per MAC, so that a hand-edited "02:4e:…" is the survey's "02-4E-…"; a text
// that is no MAC still compares with itself.
QString macKey(const QString& mac)
{
    // The survey's own form, by far the most common, is shared rather than copied.
    if (mac.isEmpty() || isSurveyForm(mac))
        return mac;
    const QString normal = ProbeText::normaliseMac(mac);
    return normal.isEmpty() ? mac.trimmed().toUpper() : normal;
}

bool locallyAdministered(const QString& key)
{
    bool ok = false;
    const uint firstOctet = key.left(2).toUInt(&ok, 16);
    return ok && key.size() >= 2 && (firstOctet & 0x02);
}

// An IPv4 address in its plain dotted form ("192.168.1.5", no leading zeros) as a
// number. Any other text gives none and keeps its text as its key, so that two texts
// meet only when they are the same.
std::optional<quint32> plainIpv4(QStringView text)
{
    quint32 value = 0;
    int octets = 0;
    qsizetype i = 0;
    while (octets < 4) {
        const qsizetype start = i;
        uint octet = 0;
        while (i < text.size() && i - start < 3 && text[i] >= u'0' && text[i] <= u'9')
            octet = octet * 10 + (text[i++].unicode() - u'0');
        const qsizetype digits = i - start;
        if (digits == 0 || octet > 255 || (digits > 1 && text[start] == u'0'))
            return std::nullopt;
        value = value << 8 | octet;
        if (++octets < 4) {
            if (i >= text.size() || text[i] != u'.')
                return std::nullopt;
            ++i;
        }
    }
    if (i != text.size())
        return std::nullopt;
    return value;
}

// A plain address's number above its row, to sort by both in one: the first row of an
// address comes first. Half the size of a pair, which the sort of a million feels.
using Numbered = quint64;

quint32 numberOf(Numbered n)
{
    return quint32(n >> 32);
}

qsizetype rowOf(Numbered n)
{
    return qsizetype(n & 0xffffffffu);
}

// The plain addresses of a list, sorted; the rows of the others by their text.
std::vector<Numbered> sortedNumbers(const QList<AddressEntry>& list, std::vector<qsizetype>& others)
{
    std::vector<Numbered> numbered;
    numbered.reserve(std::size_t(list.size()));
    for (qsizetype i = 0; i < list.size(); ++i) {
        // A row number fits in 32 bits: a list of 2^32 rows would not fit in memory.
        if (const std::optional<quint32> number = plainIpv4(list[i].ip))
            numbered.push_back(Numbered(*number) << 32 | quint64(i));
        else
            others.push_back(i);
    }
    std::sort(numbered.begin(), numbered.end());
    return numbered;
}

constexpr qsizetype kRepeated = -2;

// For each row of `after`: the row of its address in `before` (the first, should it be
// there twice), -1 when `before` has none, or kRepeated when an earlier row of `after`
// has the same address.
std::vector<qsizetype> rowsBefore(const QList<AddressEntry>& before,
                                  const QList<AddressEntry>& after)
{
    std::vector<qsizetype> rows(std::size_t(after.size()), -1);
    // Both lists sorted by address, which beats a million look-ups in a hash by far;
    // what is no plain address (a hand-edited line) is looked up by its text.
    std::vector<qsizetype> beforeOthers;
    std::vector<qsizetype> afterOthers;
    const std::vector<Numbered> was = sortedNumbers(before, beforeOthers);
    const std::vector<Numbered> is = sortedNumbers(after, afterOthers);
    std::size_t b = 0;
    for (std::size_t a = 0; a < is.size(); ++a) {
        const quint32 number = numberOf(is[a]);
        if (a > 0 && number == numberOf(is[a - 1])) {
            rows[std::size_t(rowOf(is[a]))] = kRepeated;
            continue;
        }
        while (b < was.size() && numberOf(was[b]) < number)
            ++b;
        if (b < was.size() && numberOf(was[b]) == number)
            rows[std::size_t(rowOf(is[a]))] = rowOf(was[b]);
    }
    QHash<QString, qsizetype> firstBefore;
    for (qsizetype i : beforeOthers) {
        if (!firstBefore.contains(before[i].ip))
            firstBefore.insert(before[i].ip, i);
    }
    QSet<QString> seen;
    for (qsizetype i : afterOthers) {
        const QString& ip = after[i].ip;
        rows[std::size_t(i)] = seen.contains(ip) ? kRepeated : firstBefore.value(ip, -1);
        seen.insert(ip);
    }
    return rows;
}

bool renamed(const AddressEntry& now, const AddressEntry& before)
{
    if (now.host.isEmpty() || before.host.isEmpty() ||
        now.host.compare(before.host, Qt::CaseInsensitive) == 0)
        return false;
    // A list read from the log has "?" where code page 932 lacked a character of the
    // name the survey found ("drucker-b?ro"); that host has not been renamed.
    return TextFile::asKept(now.host).compare(TextFile::asKept(before.host), Qt::CaseInsensitive) !=
           0;
}

struct Judged {
    qsizetype row = -1;    // in `after`
    qsizetype before = -1; // its row in `before`, -1 when it had none
    QString macNow;
    QString macBefore;
};

} // namespace

std::vector<ListChange> compareLists(const QList<AddressEntry>& before,
                                     const QList<AddressEntry>& after)
{
    // Every address of `after` once, with both of its MACs, where it may have changed:
    // a row with the same MAC as before and no rename takes part in nothing below.
    const std::vector<qsizetype> rows = rowsBefore(before, after);
    std::vector<Judged> judged;
    for (qsizetype i = 0; i < after.size(); ++i) {
        const qsizetype row = rows[std::size_t(i)];
        if (row == kRepeated)
            continue;
        // The same text is the same MAC: most rows need no second form.
        if (row >= 0 && after[i].mac == before[row].mac &&
            (after[i].mac.isEmpty() || !renamed(after[i], before[row])))
            continue;
        QString macNow = macKey(after[i].mac);
        QString macBefore = row >= 0 ? macKey(before[row].mac) : QString();
        if (macNow == macBefore && (macNow.isEmpty() || !renamed(after[i], before[row])))
            continue;
        judged.push_back({i, row, std::move(macNow), std::move(macBefore)});
    }

    // Where each MAC was before and is no longer, in `before`'s order: where a device
    // that turns up elsewhere came from.
    QHash<QString, std::vector<std::size_t>> leftFrom;
    std::vector<std::size_t> byBeforeOrder;
    for (std::size_t k = 0; k < judged.size(); ++k) {
        if (judged[k].before >= 0 && !judged[k].macBefore.isEmpty() &&
            judged[k].macBefore != judged[k].macNow)
            byBeforeOrder.push_back(k);
    }
    std::sort(byBeforeOrder.begin(), byBeforeOrder.end(), [&judged](std::size_t a, std::size_t b) {
        return judged[a].before < judged[b].before;
    });
    for (std::size_t k : byBeforeOrder)
        leftFrom[judged[k].macBefore].push_back(k);

    std::vector<bool> movedAway(judged.size(), false);
    std::vector<std::optional<std::size_t>> movedFrom(judged.size());
    for (std::size_t k = 0; k < judged.size(); ++k) {
        const Judged& j = judged[k];
        if (j.macNow.isEmpty() || !j.macBefore.isEmpty())
            continue; // only a new MAC can have come from elsewhere
        const auto sources = leftFrom.find(j.macNow);
        if (sources == leftFrom.end())
            continue;
        for (std::size_t source : *sources) {
            if (!movedAway[source] && source != k) {
                movedAway[source] = true;
                movedFrom[k] = source;
                break;
            }
        }
    }

    std::vector<ListChange> changes;
    for (std::size_t k = 0; k < judged.size(); ++k) {
        const Judged& j = judged[k];
        ListChange change;
        change.now = after[j.row];
        change.before = j.before >= 0 ? before[j.before] : AddressEntry{change.now.ip, {}, {}};
        if (movedFrom[k]) {
            change.kind = ListChange::Kind::Moved;
            change.before = before[judged[*movedFrom[k]].before];
        } else if (!j.macNow.isEmpty() && j.macBefore.isEmpty()) {
            change.kind = ListChange::Kind::New;
        } else if (j.macNow.isEmpty() && !j.macBefore.isEmpty()) {
            // A device that went to another address is reported there, once.
            if (movedAway[k])
                continue;
            change.kind = ListChange::Kind::Gone;
        } else if (j.macNow != j.macBefore) {
            change.kind = ListChange::Kind::Changed;
        } else if (!j.macNow.isEmpty() && renamed(change.now, change.before)) {
            change.kind = ListChange::Kind::Renamed;
        } else {
            continue;
        }
        change.localMac = locallyAdministered(j.macNow.isEmpty() ? j.macBefore : j.macNow);
        changes.push_back(std::move(change));
    }
    return changes;
}

QList<AddressEntry> entriesOf(const QStringList& dataRows)
{
    QList<AddressEntry> entries;
    entries.reserve(dataRows.size());
    for (const QString& row : dataRows)
        entries.push_back(SplitCsvRow(row));
    return entries;
}

QString changeKindWord(ListChange::Kind kind)
{
    switch (kind) {
    case ListChange::Kind::New:
        return QStringLiteral("new");
    case ListChange::Kind::Gone:
        return QStringLiteral("gone");
    case ListChange::Kind::Changed:
        return QStringLiteral("changed");
    case ListChange::Kind::Renamed:
        return QStringLiteral("renamed");
    case ListChange::Kind::Moved:
        break;
    }
    return QStringLiteral("moved");
}
