#include "survey/AddressRanges.h"

#include <QStringList>

#include <algorithm>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace AddressRanges {

namespace {

QString formError(QStringView item)
{
    return u"範囲の形が正しくありません（例 192.168.1.1-254、192.168.4.0/22）: %1 / "
           "not a range (e.g. 192.168.1.1-254, 192.168.4.0/22): %1"_s.arg(item);
}

// A plain decimal number of at most three digits, nothing else: "010" is 10, " 1" is no
// number, so that what a script wrote is what gets surveyed.
std::optional<int> plainNumber(QStringView text, int most)
{
    if (text.isEmpty() || text.size() > 3)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value > most)
        return std::nullopt;
    return value;
}

std::optional<quint32> address(QStringView text)
{
    const QList<QStringView> octets = text.split(u'.');
    if (octets.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (const QStringView octet : octets) {
        const std::optional<int> number = plainNumber(octet, 255);
        if (!number)
            return std::nullopt;
        value = (value << 8) | quint32(*number);
    }
    return value;
}

// One item of the list, or its error.
std::optional<Range> item(QStringView text, QString& error)
{
    if (const qsizetype slash = text.indexOf(u'/'); slash >= 0) {
        const std::optional<quint32> base = address(text.left(slash));
        const std::optional<int> prefix = plainNumber(text.mid(slash + 1), 32);
        if (!base || !prefix) {
            error = formError(text);
            return std::nullopt;
        }
        if (*prefix < 16) {
            error = u"/16 より大きいネットワークは調査しません: %1 / "
                    "a network larger than a /16 is not surveyed: %1"_s.arg(text);
            return std::nullopt;
        }
        const quint32 mask = *prefix == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> *prefix);
        Range range{*base & mask, (*base & mask) | ~mask};
        if (*prefix <= 30) {
            ++range.first;
            --range.last;
        }
        return range;
    }
    const QList<QStringView> ends = text.split(u'-');
    if (ends.size() != 2) {
        error = formError(text);
        return std::nullopt;
    }
    const std::optional<quint32> first = address(ends[0]);
    std::optional<quint32> last;
    if (!ends[1].contains(u'.')) {
        // "192.168.1.1-254": the last address gives only its last octet.
        if (const std::optional<int> octet = plainNumber(ends[1], 255); octet && first)
            last = (*first & 0xFFFFFF00u) | quint32(*octet);
    } else {
        last = address(ends[1]);
    }
    if (!first || !last) {
        error = formError(text);
        return std::nullopt;
    }
    const auto windowOctet = [](quint32 a) {
        return (a & 0xFF) >= 1 && (a & 0xFF) <= 254;
    };
    if (!windowOctet(*first) || !windowOctet(*last)) {
        error = u"範囲の始めと終わりの最後のオクテットは 1～254 です: %1 / "
                "the last octet of each end is 1 to 254: %1"_s.arg(text);
        return std::nullopt;
    }
    if (*first > *last) {
        error =
            u"範囲の始めが終わりより後です: %1 / the range starts after it ends: %1"_s.arg(text);
        return std::nullopt;
    }
    return Range{*first, *last};
}

} // namespace

quint64 Parsed::addresses() const
{
    quint64 total = 0;
    for (const Range& range : ranges)
        total += range.size();
    return total;
}

Parsed parse(QStringView text)
{
    Parsed parsed;
    std::vector<Range> items;
    for (const QStringView part : text.split(u',')) {
        const std::optional<Range> range = item(part, parsed.error);
        if (!range)
            return {{}, parsed.error};
        items.push_back(*range);
    }
    std::sort(items.begin(), items.end(),
              [](const Range& a, const Range& b) { return a.first < b.first; });
    for (const Range& range : items) {
        if (!parsed.ranges.empty() &&
            quint64(range.first) <= quint64(parsed.ranges.back().last) + 1)
            parsed.ranges.back().last = std::max(parsed.ranges.back().last, range.last);
        else
            parsed.ranges.push_back(range);
    }
    if (parsed.addresses() > kMostAddresses) {
        return {{},
                u"調査できるのは合わせて %1 アドレス（/16）までです: %2 / "
                "at most %1 addresses (a /16) in all: %2"_s.arg(kMostAddresses)
                    .arg(text)};
    }
    return parsed;
}

} // namespace AddressRanges
