#include "survey/AddressRanges.h"

#include <QStringList>

#include <algorithm>
#include <optional>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace AddressRanges {

namespace {

// One line, Japanese and English: what is wrong, the item it is wrong in, and the forms
// that would be taken.
QString rangeError(const QString& japanese, const QString& english, QStringView item)
{
    return u"%1: %3（使える形: 192.168.1.1-254、10.1.0.1-10.1.3.254、192.168.4.0/22、"
           "そのカンマ区切り、attached） / %2: %3 (accepted: 192.168.1.1-254, "
           "10.1.0.1-10.1.3.254, 192.168.4.0/22, several of these joined by commas, attached)"_s
               .arg(japanese, english, item);
}

QString formError(QStringView item)
{
    return rangeError(u"範囲の形が正しくありません"_s, u"not a range"_s, item);
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
            error = rangeError(u"/16 より大きいネットワークは調査しません"_s,
                               u"a network larger than a /16 is not surveyed"_s, text);
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
    // One address, as a /32 is.
    if (ends.size() == 1) {
        if (const std::optional<quint32> one = address(text))
            return Range{*one, *one};
    }
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
        error = rangeError(u"範囲の始めと終わりの最後のオクテットは 1～254 です"_s,
                           u"the last octet of each end is 1 to 254"_s, text);
        return std::nullopt;
    }
    if (*first > *last) {
        error = rangeError(u"範囲の始めが終わりより後です"_s, u"the range starts after it ends"_s,
                           text);
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
        const QString most = QString::number(kMostAddresses);
        return {{},
                rangeError(u"調査できるのは合わせて "_s + most + u" アドレス（/16）までです"_s,
                           u"at most "_s + most + u" addresses (a /16) in all"_s, text)};
    }
    return parsed;
}

QString dotted(quint32 address)
{
    return u"%1.%2.%3.%4"_s.arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

QString text(const Range& range)
{
    if (range.first == range.last)
        return dotted(range.first);
    return dotted(range.first) + u'-' + dotted(range.last);
}

Sequence::Sequence(std::vector<Range> ranges)
    : m_ranges(std::move(ranges))
{
    m_starts.reserve(m_ranges.size());
    for (const Range& range : m_ranges) {
        m_starts.push_back(m_size);
        m_size += range.size();
    }
}

quint32 Sequence::at(quint64 index) const
{
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), index);
    const std::size_t range = std::size_t(after - m_starts.begin()) - 1;
    return m_ranges[range].first + quint32(index - m_starts[range]);
}

} // namespace AddressRanges
