#include "LanNamePackets.h"

#include "text/Cp932.h"

#include <QList>
#include <QStringDecoder>

namespace LanNamePackets {

namespace {

using Labels = QList<QByteArray>;

// Both protocols share the DNS message layout (RFC 1002 took it from RFC 1035).
constexpr quint16 kResponse = 0x8000;
constexpr quint16 kOpcode = 0x7800;
constexpr quint16 kRcode = 0x000F;
constexpr quint16 kBroadcast = 0x0010;

constexpr quint16 kTypeA = 1;
constexpr quint16 kTypePtr = 12;
constexpr quint16 kTypeNb = 0x0020;
constexpr quint16 kTypeNbstat = 0x0021;
constexpr quint16 kClassIn = 1;
// mDNS: in a question the top bit of the class asks for a unicast answer, in a record
// it is the cache-flush bit; neither changes what the record says.
constexpr quint16 kUnicastResponse = 0x8000;

constexpr qsizetype kHeader = 12;
constexpr qsizetype kMaxWireName = 255;
constexpr qsizetype kMaxLabel = 63;
constexpr qsizetype kNetbiosName = 15;
// An answer to one question holds that answer and a few records about it. A packet
// the size of a jumbo frame holds some 700 records pointing at one long name: reading
// them all costs milliseconds, and a LAN can send a thousand such packets a second.
constexpr int kMostRecords = 64;
// A compressor points each name once at a suffix it has already written, and that
// suffix may end in a pointer of its own: chains a few deep. Jumps strictly descend,
// so no chain loops, but a packet of pointers to pointers makes one thousands long.
constexpr int kMostJumps = 32;

// The name at `at` in `packet`, label by label: `visit` gets each label as the packet
// holds it. A compression pointer must jump below every place this name has been read
// from, so jumps strictly descend and a loop cannot form, and no lower than the end of
// the header, where no name starts (else the id would spell one). The end of the name
// as it stands at `at` (not where a pointer led), or -1 for a name that breaks a rule.
template <typename Visit> qsizetype walkName(QByteArrayView packet, qsizetype at, Visit&& visit)
{
    qsizetype end = -1;
    qsizetype floor = at;
    qsizetype wire = 1;
    int jumps = 0;
    while (at < packet.size()) {
        const quint8 length = quint8(packet[at]);
        if (length == 0)
            return end < 0 ? at + 1 : end;
        if ((length & 0xC0) == 0xC0) {
            if (at + 1 >= packet.size() || ++jumps > kMostJumps)
                return -1;
            const qsizetype target = (length & 0x3F) << 8 | quint8(packet[at + 1]);
            if (target >= floor || target < kHeader)
                return -1;
            if (end < 0)
                end = at + 2;
            at = floor = target;
            continue;
        }
        // 0x40 and 0x80 begin label types that were never deployed.
        wire += 1 + length;
        if ((length & 0xC0) != 0 || wire > kMaxWireName || length >= packet.size() - at)
            return -1;
        visit(packet.sliced(at + 1, length));
        at += 1 + length;
    }
    return -1;
}

// Big-endian reads that never pass the end: once one would, `ok` stays false and
// every later read gives zero or nothing.
struct Reader {
    QByteArrayView data;
    qsizetype pos = 0;
    bool ok = true;

    bool has(qsizetype n)
    {
        ok = ok && n >= 0 && n <= data.size() - pos;
        return ok;
    }
    quint8 u8() { return has(1) ? quint8(data[pos++]) : 0; }
    quint16 u16()
    {
        const quint16 high = u8();
        return quint16(high << 8 | u8());
    }
    quint32 u32()
    {
        const quint32 high = u16();
        return high << 16 | u16();
    }
    QByteArrayView take(qsizetype n)
    {
        if (!has(n))
            return {};
        pos += n;
        return data.sliced(pos - n, n);
    }
    // Moves past a name, which must be whole; where it starts, or -1.
    qsizetype name()
    {
        const qsizetype start = pos;
        const qsizetype end = ok ? walkName(data, pos, [](QByteArrayView) {}) : -1;
        ok = end >= 0;
        pos = ok ? end : pos;
        return ok ? start : -1;
    }
};

struct Record {
    qsizetype name = 0; // where the owner's name starts in the packet
    quint16 type = 0;
    quint16 klass = 0;
    qsizetype start = 0; // of the record data in the packet
    QByteArrayView data;
};

// The answers of a response to a standard query with id `id` that reports no error.
// Every section is walked, so a packet that is cut or whose counts run past its end
// gives nothing, and so does one with more records than any answer holds.
std::optional<QList<Record>> answers(QByteArrayView packet, quint16 id)
{
    Reader in{packet};
    const quint16 messageId = in.u16();
    const quint16 flags = in.u16();
    const int questions = in.u16();
    const int answerCount = in.u16();
    const int records = answerCount + in.u16() + in.u16();
    if (!in.ok || messageId != id || (flags & kResponse) == 0 ||
        (flags & (kOpcode | kRcode)) != 0 || questions + records > kMostRecords)
        return std::nullopt;
    for (int i = 0; i < questions && in.ok; ++i) {
        in.name();
        in.take(4);
    }
    QList<Record> found;
    for (int i = 0; i < records && in.ok; ++i) {
        Record record;
        record.name = in.name();
        record.type = in.u16();
        record.klass = in.u16() & ~kUnicastResponse;
        in.take(4); // TTL
        const quint16 length = in.u16();
        record.start = in.pos;
        record.data = in.take(length);
        if (i < answerCount)
            found.append(record);
    }
    if (!in.ok)
        return std::nullopt;
    return found;
}

bool sameLabel(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Whether the packet's name at `at` (already walked whole) is `wanted`, compared where
// it lies: a record's owner is read for nothing but this.
bool nameIs(QByteArrayView packet, qsizetype at, const Labels& wanted)
{
    qsizetype next = 0;
    bool same = true;
    walkName(packet, at, [&](QByteArrayView label) {
        same = same && next < wanted.size() && sameLabel(label, wanted[next]);
        ++next;
    });
    return same && next == wanted.size();
}

void appendU16(QByteArray& out, quint16 value)
{
    out.append(char(value >> 8)).append(char(value & 0xFF));
}

void appendName(QByteArray& out, const Labels& labels)
{
    for (const QByteArray& label : labels)
        out.append(char(label.size())).append(label);
    out.append('\0');
}

QByteArray query(quint16 id, quint16 flags, const Labels& name, quint16 type, quint16 klass)
{
    QByteArray out;
    appendU16(out, id);
    appendU16(out, flags);
    appendU16(out, 1);
    out.append(6, '\0');
    appendName(out, name);
    appendU16(out, type);
    appendU16(out, klass);
    return out;
}

// RFC 1001's first-level encoding: the 16 bytes (name and suffix) as one label of
// 32 letters, each nibble added to 'A'.
Labels netbiosName(QByteArrayView sixteen)
{
    QByteArray label;
    for (const char c : sixteen)
        label.append(char('A' + (quint8(c) >> 4))).append(char('A' + (quint8(c) & 0x0F)));
    return {label};
}

// "*" padded with NULs: the name that asks a node for every name it holds.
const Labels& starName()
{
    static const Labels star = netbiosName(QByteArrayView("*\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16));
    return star;
}

// The 15 name bytes a name query carries, or nothing for a name it cannot carry.
std::optional<QByteArray> netbiosBytes(const QString& name)
{
    if (name.isEmpty() || name.contains(u'.'))
        return std::nullopt;
    QString upper = name;
    for (QChar& c : upper) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    }
    const QByteArray bytes = Cp932::encode(upper);
    bool whole = false;
    if (bytes.size() > kNetbiosName || Cp932::decode(bytes, &whole) != upper || !whole)
        return std::nullopt;
    return bytes.leftJustified(kNetbiosName, ' ');
}

Labels reverseName(quint32 address)
{
    Labels labels;
    for (int shift = 0; shift < 32; shift += 8)
        labels.append(QByteArray::number((address >> shift) & 0xFF));
    return labels << QByteArrayLiteral("in-addr") << QByteArrayLiteral("arpa");
}

std::optional<Labels> dnsLabels(const QString& name)
{
    const QByteArray utf8 = name.toUtf8();
    if (utf8.size() > 253)
        return std::nullopt;
    const Labels labels = utf8.split('.');
    for (const QByteArray& label : labels) {
        if (label.isEmpty() || label.size() > kMaxLabel)
            return std::nullopt;
    }
    return labels;
}

quint32 address(QByteArrayView four)
{
    Reader in{four};
    return in.u32();
}

} // namespace

QByteArray nodeStatusQuery(quint16 id)
{
    return query(id, 0, starName(), kTypeNbstat, kClassIn);
}

std::optional<QString> parseNodeStatus(QByteArrayView packet, quint16 id)
{
    const auto records = answers(packet, id);
    if (!records)
        return std::nullopt;
    for (const Record& record : *records) {
        // The names of the node asked, not those of another question of the same id.
        if (record.type != kTypeNbstat || record.klass != kClassIn ||
            !nameIs(packet, record.name, starName()))
            continue;
        // NUM_NAMES, then per name 15 bytes, the suffix and two flag bytes.
        Reader in{record.data};
        const int count = in.u8();
        const QByteArrayView entries = in.take(count * 18);
        if (!in.ok)
            return std::nullopt;
        for (qsizetype at = 0; at < entries.size(); at += 18) {
            const QByteArrayView entry = entries.sliced(at, 18);
            const bool group = quint8(entry[16]) & 0x80;
            if (entry[15] != '\0' || group)
                continue;
            QByteArrayView name = entry.first(kNetbiosName);
            // Neither a blank nor a NUL is ever the second byte of a cp932 character.
            while (!name.isEmpty() && (name.back() == ' ' || name.back() == '\0'))
                name.chop(1);
            bool whole = false;
            const QString text = Cp932::decode(name, &whole);
            return whole ? text : QString();
        }
        return QString();
    }
    return std::nullopt;
}

QByteArray nameQuery(quint16 id, const QString& name)
{
    const auto bytes = netbiosBytes(name);
    if (!bytes)
        return {};
    return query(id, kBroadcast, netbiosName(*bytes + '\0'), kTypeNb, kClassIn);
}

std::optional<quint32> parseNameQueryResponse(QByteArrayView packet, quint16 id,
                                              const QString& name)
{
    const auto bytes = netbiosBytes(name);
    const auto records = bytes ? answers(packet, id) : std::nullopt;
    if (!records)
        return std::nullopt;
    const Labels wanted = netbiosName(*bytes + '\0');
    for (const Record& record : *records) {
        // Each address is NB_FLAGS and four bytes.
        if (record.type == kTypeNb && record.klass == kClassIn && record.data.size() >= 6 &&
            nameIs(packet, record.name, wanted))
            return address(record.data.sliced(2, 4));
    }
    return std::nullopt;
}

QByteArray mdnsReverseQuery(quint16 id, quint32 address)
{
    return query(id, 0, reverseName(address), kTypePtr, kClassIn | kUnicastResponse);
}

std::optional<QString> parseMdnsReverseResponse(QByteArrayView packet, quint16 id, quint32 address)
{
    const auto records = answers(packet, id);
    if (!records)
        return std::nullopt;
    const Labels wanted = reverseName(address);
    for (const Record& record : *records) {
        if (record.type != kTypePtr || record.klass != kClassIn ||
            !nameIs(packet, record.name, wanted))
            continue;
        QByteArray target;
        const qsizetype end = walkName(packet, record.start, [&target](QByteArrayView label) {
            if (!target.isEmpty())
                target.append('.');
            target.append(label);
        });
        // No label can be empty, so an empty target is the root.
        if (end < 0 || end > record.start + record.data.size() || target.isEmpty())
            return std::nullopt;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom);
        const QString text = utf8(target);
        if (utf8.hasError())
            return std::nullopt;
        return text;
    }
    return std::nullopt;
}

QByteArray mdnsAddressQuery(quint16 id, const QString& name)
{
    const auto labels = dnsLabels(name);
    if (!labels)
        return {};
    return query(id, 0, *labels, kTypeA, kClassIn | kUnicastResponse);
}

std::optional<quint32> parseMdnsAddressResponse(QByteArrayView packet, quint16 id,
                                                const QString& name)
{
    const auto labels = dnsLabels(name);
    const auto records = labels ? answers(packet, id) : std::nullopt;
    if (!records)
        return std::nullopt;
    for (const Record& record : *records) {
        if (record.type == kTypeA && record.klass == kClassIn && record.data.size() == 4 &&
            nameIs(packet, record.name, *labels))
            return address(record.data);
    }
    return std::nullopt;
}

} // namespace LanNamePackets
