#include "cli/MachineOutput.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

QJsonObject rowObject(const AddressEntry& entry, const VendorRegistry& vendors)
{
    return {{u"address"_s, entry.ip},
            {u"name"_s, entry.host},
            {u"mac"_s, entry.mac},
            {u"vendor"_s, vendors.describe(entry.mac)}};
}

QJsonObject withPresence(QJsonObject object, Presence presence)
{
    if (presence != Presence::Unseen)
        object.insert(u"found"_s, presence == Presence::Echo ? u"echo"_s : u"arp"_s);
    return object;
}

QByteArray line(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

bool isLive(const AddressEntry& entry, Presence presence)
{
    return !entry.mac.isEmpty() || presence != Presence::Unseen;
}

QByteArray jsonRow(const AddressEntry& entry, Presence presence, const VendorRegistry& vendors)
{
    return line(withPresence(rowObject(entry, vendors), presence));
}

QByteArray jsonChange(const ListChange& change, Presence presence, const VendorRegistry& vendors)
{
    QJsonObject object = withPresence(rowObject(change.now, vendors), presence);
    object.insert(u"kind"_s, changeKindWord(change.kind));
    object.insert(u"before"_s, rowObject(change.before, vendors));
    return line(object);
}

SurveyMetrics surveyMetrics(const std::vector<AddressRanges::Range>& ranges,
                            const QList<AddressEntry>& rows, const Presences& presences,
                            const VendorRegistry& vendors)
{
    SurveyMetrics metrics;
    qsizetype next = 0;
    for (const AddressRanges::Range& range : ranges) {
        SurveyMetrics::Range counted{AddressRanges::text(range)};
        const qsizetype end = std::min(rows.size(), next + qsizetype(range.size()));
        for (; next < end; ++next) {
            const AddressEntry& row = rows.at(next);
            ++counted.addresses;
            if (!isLive(row, presences.value(row.ip, Presence::Unseen)))
                continue;
            ++counted.hosts;
            metrics.hosts.push_back({row, vendors.describe(row.mac)});
        }
        metrics.ranges.push_back(counted);
    }
    return metrics;
}
