#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// The IPv4 ranges a survey from the command line may cover: beside the window's one /24,
// a network in CIDR form, a first-last range across /24 boundaries, or several of these.
// Addresses are in host byte order.
namespace AddressRanges {

// Inclusive at both ends.
struct Range {
    quint32 first = 0;
    quint32 last = 0;
    quint64 size() const { return quint64(last) - first + 1; }
};

// The most addresses one survey takes in all: a /16. Past it a survey would take hours
// and hold the rows of a whole campus; a larger network is surveyed in parts.
inline constexpr quint64 kMostAddresses = 65536;

struct Parsed {
    std::vector<Range> ranges; // in address order, none overlapping or adjacent
    QString error;             // one line, Japanese and English; empty when parsed
    quint64 addresses() const;
};

// Reads a comma-separated list of
//   192.168.4.0/22        a network: its network and broadcast addresses left out
//                         (a /31 or /32 is taken whole); host bits are ignored
//   192.168.1.1-254       first to last within one /24, as the window's boxes give it
//   10.1.0.1-10.1.3.254   first to last, across /24 boundaries
//   10.9.8.7              one address
// Each octet a plain decimal number 0 to 255; the ends of a first-last range keep the
// window's limit on the last octet (1 to 254). The ranges are merged into address
// order without duplicates; more than kMostAddresses in all is refused.
Parsed parse(QStringView text);

// The dotted text of an address, as a survey's rows show it.
QString dotted(quint32 address);

// A range as a label names it: "first-last" in dotted form, or the one address. The
// ranges given have been merged by then, so the form they were given in is not known.
QString text(const Range& range);

// The addresses of ranges in address order, looked up by their place in that order
// without listing them: a /16 survey holds no list of 65536 addresses.
class Sequence {
public:
    explicit Sequence(std::vector<Range> ranges);
    quint64 size() const { return m_size; }
    // The address at `index` (below size()).
    quint32 at(quint64 index) const;

private:
    std::vector<Range> m_ranges;
    std::vector<quint64> m_starts; // the index of each range's first address
    quint64 m_size = 0;
};

} // namespace AddressRanges
