#include "survey/ListChanges.h"

#include "probes/ProbeText.h"

#include <QHash>

#include <algorithm>
#include <optional>

namespace {

// One form per MAC, so that a hand-edited "02:4e:…" is the survey's "02-4E-…"; a text
// that is no MAC still compares with itself.
QString macKey(const QString& mac)
{
    const QString normal = ProbeText::normaliseMac(mac);
    return normal.isEmpty() ? mac.trimmed().toUpper() : normal;
}

bool locallyAdministered(const QString& key)
{
    bool ok = false;
    const uint firstOctet = key.left(2).toUInt(&ok, 16);
    return ok && key.size() >= 2 && (firstOctet & 0x02);
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
    QHash<QString, qsizetype> beforeRow;
    beforeRow.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (!beforeRow.contains(before[i].ip))
            beforeRow.insert(before[i].ip, i);
    }

    // Every address of `after` once, with both of its MACs.
    std::vector<Judged> judged;
    judged.reserve(std::size_t(after.size()));
    QHash<QString, qsizetype> seen;
    seen.reserve(after.size());
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (seen.contains(after[i].ip))
            continue;
        seen.insert(after[i].ip, i);
        Judged j;
        j.row = i;
        j.before = beforeRow.value(after[i].ip, -1);
        j.macNow = macKey(after[i].mac);
        j.macBefore = j.before >= 0 ? macKey(before[j.before].mac) : QString();
        judged.push_back(std::move(j));
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
        } else if (!j.macNow.isEmpty() && !change.now.host.isEmpty() &&
                   !change.before.host.isEmpty() &&
                   change.now.host.compare(change.before.host, Qt::CaseInsensitive) != 0) {
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
