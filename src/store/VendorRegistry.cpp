#include "store/VendorRegistry.h"

#include "probes/packets/ProbeText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include <algorithm>
#include <string>

using namespace Qt::Literals::StringLiterals;

namespace {

// The real registries are a few megabytes; a file far larger is no registry, and a
// device that never ends must not hold the loader.
constexpr qint64 kLargestFile = 64 * 1024 * 1024;
// The longest record of the real registries is a few hundred bytes. A quote still open
// after this many is one that was never closed.
constexpr qsizetype kLongestRecord = 4096;

char16_t unit(QChar c)
{
    return c.unicode();
}

char16_t unit(char c)
{
    return char16_t(static_cast<unsigned char>(c));
}

// Hex digits, with ":", "-", "." or blanks anywhere between them, as a number and its
// count of digits; false on any other character or more digits than a MAC has.
template <typename Text> bool readHex(const Text& text, quint64& value, int& digits)
{
    value = 0;
    digits = 0;
    for (const auto ch : text) {
        const char16_t c = unit(ch);
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else if (c == u':' || c == u'-' || c == u'.' || c == u' ')
            continue;
        else
            return false;
        if (++digits > 12)
            return false;
        value = value << 4 | quint64(digit);
    }
    return true;
}

// A name as one line of plain text: control characters, line breaks and invisible
// format characters (a bidirectional override among them) would break a tooltip's
// line or the command line's tab-separated row, or disguise the text.
QString cleanName(QString name)
{
    for (QChar& c : name) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            continue;
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            c = u' ';
            break;
        default:
            break;
        }
    }
    return name.simplified();
}

// A field in CSV quotes loses them and its doubled quotes become one; false when it
// does not end with its closing quote or holds a single one.
bool unquote(QString& field)
{
    if (field.size() < 2 || !field.startsWith(u'"') || !field.endsWith(u'"'))
        return false;
    QString plain;
    plain.reserve(field.size());
    for (qsizetype i = 1; i < field.size() - 1; ++i) {
        if (field[i] == u'"') {
            if (i + 1 >= field.size() - 1 || field[i + 1] != u'"')
                return false;
            ++i;
        }
        plain += field[i];
    }
    field = plain;
    return true;
}

QByteArrayView withoutBom(QByteArrayView text)
{
    return text.startsWith("\xEF\xBB\xBF") ? text.sliced(3) : text;
}

// The records of a CSV text one by one: fields split at commas; a quoted field may hold
// commas, doubled quotes and line breaks (the registries' addresses have all three); a
// record ends at CR LF, LF or CR. A record that cannot be read, a quote never closed or
// text after a closing quote, is skipped to the end of the line it began on, so that one
// stray quote costs one line and not the rest of the file.
class CsvRecords {
public:
    // Only the first `kept` fields of a record are given; the others are passed over, so
    // that a record of millions of commas costs no more than its bytes.
    CsvRecords(QByteArrayView text, std::size_t kept)
        : m_text(text)
        , m_kept(kept)
    {}

    // False at the end of the text; otherwise `fields` holds the next record's first
    // fields, or `good` is false for one that was skipped.
    bool next(std::vector<std::string>& fields, bool& good)
    {
        const qsizetype n = m_text.size();
        if (m_at >= n)
            return false;
        const char* text = m_text.data();
        const qsizetype start = m_at;
        qsizetype i = start;
        fields.clear();
        good = true;
        for (;;) {
            // Fields past the ones wanted (the long addresses) are passed over, not copied.
            const bool keep = fields.size() < m_kept;
            std::string field;
            if (i < n && text[i] == '"') {
                ++i;
                bool closed = false;
                qsizetype from = i;
                while (i < n && i - start <= kLongestRecord) {
                    if (text[i] != '"') {
                        ++i;
                        continue;
                    }
                    if (keep)
                        field.append(text + from, std::size_t(i - from));
                    // A doubled quote keeps one of its two.
                    if (i + 1 < n && text[i + 1] == '"') {
                        from = i + 1;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (!closed || (i < n && !endsField(text[i]))) {
                    good = false;
                    m_at = afterLine(start);
                    return true;
                }
            } else {
                const qsizetype from = i;
                while (i < n && !endsField(text[i]))
                    ++i;
                if (keep)
                    field.assign(text + from, std::size_t(i - from));
            }
            if (keep)
                fields.push_back(std::move(field));
            if (i < n && text[i] == ',') {
                ++i;
                continue;
            }
            m_at = afterBreak(i);
            return true;
        }
    }

private:
    static bool endsField(char c) { return c == ',' || c == '\r' || c == '\n'; }

    qsizetype afterBreak(qsizetype i) const
    {
        const qsizetype n = m_text.size();
        if (i < n && m_text[i] == '\r')
            ++i;
        else if (i < n && m_text[i] == '\n')
            return i + 1;
        else
            return i;
        return i < n && m_text[i] == '\n' ? i + 1 : i;
    }

    qsizetype afterLine(qsizetype i) const
    {
        while (i < m_text.size() && m_text[i] != '\r' && m_text[i] != '\n')
            ++i;
        return afterBreak(i);
    }

    QByteArrayView m_text;
    std::size_t m_kept;
    qsizetype m_at = 0;
};

// A file's bytes, or none when it cannot be read or is no plain file of a sane size.
// The type is looked at before opening: opening a FIFO to read waits for a writer.
QByteArray readSmallFile(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential() || file.size() > kLargestFile)
        return {};
    // As large as it was when opened: one that grows meanwhile is not followed.
    return file.read(file.size());
}

} // namespace

// Gathers blocks in any order; the registry is sorted once at the end.
class VendorBuilder {
public:
    void addRegistry(QByteArrayView csv)
    {
        CsvRecords records(withoutBom(csv), 3);
        std::vector<std::string> fields;
        bool good = false;
        while (records.next(fields, good)) {
            // The header's "Assignment" is no hex and goes the way of any bad line.
            if (!good || fields.size() < 3)
                continue;
            quint64 prefix = 0;
            int digits = 0;
            if (!readHex(fields[1], prefix, digits))
                continue;
            add(prefix, digits, QString::fromUtf8(fields[2]), false);
        }
    }

    // vendors.csv: "prefix,name" a line, the name to the end of the line and quoted as
    // in CSV when it is written in quotes; "#" starts a comment line.
    void addSite(QByteArrayView text)
    {
        const QString all = QString::fromUtf8(withoutBom(text));
        for (QStringView line : ProbeText::lines(all)) {
            line = line.trimmed();
            if (line.isEmpty() || line.startsWith(u'#'))
                continue;
            const qsizetype comma = line.indexOf(u',');
            if (comma < 0)
                continue;
            quint64 prefix = 0;
            int digits = 0;
            if (!readHex(line.first(comma), prefix, digits))
                continue;
            QString name = line.sliced(comma + 1).trimmed().toString();
            if (name.startsWith(u'"') && !unquote(name))
                continue;
            add(prefix, digits, name, true);
        }
    }

    VendorRegistry finish()
    {
        for (auto& blocks : m_registry.m_blocks) {
            // Equal prefixes keep the block added last: the site's over the registry's.
            std::stable_sort(blocks.begin(), blocks.end(),
                             [](const auto& a, const auto& b) { return a.prefix < b.prefix; });
            std::size_t kept = 0;
            for (const auto& block : blocks) {
                if (kept > 0 && blocks[kept - 1].prefix == block.prefix)
                    blocks[kept - 1] = block;
                else
                    blocks[kept++] = block;
            }
            blocks.resize(kept);
            blocks.shrink_to_fit();
        }
        return std::move(m_registry);
    }

private:
    void add(quint64 prefix, int digits, const QString& rawName, bool site)
    {
        if (digits < VendorRegistry::kShortest || digits > VendorRegistry::kLongest)
            return;
        const QString name = cleanName(rawName);
        if (name.isEmpty())
            return;
        auto index = m_nameIndex.constFind(name);
        if (index == m_nameIndex.constEnd()) {
            index = m_nameIndex.insert(name, quint32(m_registry.m_names.size()));
            m_registry.m_names.append(name);
        }
        m_registry.m_blocks[digits - VendorRegistry::kShortest].push_back({prefix, *index, site});
    }

    VendorRegistry m_registry;
    QHash<QString, quint32> m_nameIndex;
};

QStringList VendorRegistry::systemFolders()
{
    return {u"/var/lib/ieee-data"_s, u"/usr/share/ieee-data"_s};
}

QString VendorRegistry::siteFilePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(u"vendors.csv"_s);
}

QStringList VendorRegistry::registryFiles()
{
    return {u"oui.csv"_s, u"mam.csv"_s, u"oui36.csv"_s, u"iab.csv"_s};
}

VendorRegistry VendorRegistry::load(const QStringList& folders, const QString& siteFile)
{
    VendorBuilder builder;
    for (const QString& name : registryFiles()) {
        for (const QString& folder : folders) {
            const QString path = QDir(folder).filePath(name);
            if (!QFileInfo::exists(path))
                continue;
            // A renewed copy that cannot be read leaves the package's own to serve.
            const QByteArray bytes = readSmallFile(path);
            if (bytes.isEmpty())
                continue;
            builder.addRegistry(bytes);
            break;
        }
    }
    if (!siteFile.isEmpty())
        builder.addSite(readSmallFile(siteFile));
    return builder.finish();
}

VendorRegistry VendorRegistry::fromText(const std::vector<QByteArrayView>& registries,
                                        QByteArrayView site)
{
    VendorBuilder builder;
    for (QByteArrayView registry : registries)
        builder.addRegistry(registry);
    builder.addSite(site);
    return builder.finish();
}

VendorRegistry::Match VendorRegistry::lookup(QStringView mac) const
{
    quint64 value = 0;
    int digits = 0;
    // The all-zero MAC is what a probe answers when it found none.
    if (!readHex(mac, value, digits) || digits != kLongest || value == 0)
        return {};
    const quint64 firstByte = value >> 40;
    if (firstByte & 0x01)
        return {};
    Match match;
    match.local = (firstByte & 0x02) != 0;
    for (int length = kLongest; length >= kShortest; --length) {
        const std::vector<Block>& blocks = m_blocks[length - kShortest];
        const quint64 prefix = value >> (4 * (kLongest - length));
        const auto found = std::lower_bound(
            blocks.begin(), blocks.end(), prefix,
            [](const Block& block, quint64 wanted) { return block.prefix < wanted; });
        if (found != blocks.end() && found->prefix == prefix && (found->site || !match.local)) {
            match.vendor = m_names.at(found->name);
            break;
        }
    }
    return match;
}

QString VendorRegistry::describe(QStringView mac) const
{
    const Match match = lookup(mac);
    if (!match.vendor.isEmpty())
        return match.vendor;
    return match.local ? kLocalMark.toString() : QString();
}

qsizetype VendorRegistry::size() const
{
    qsizetype blocks = 0;
    for (const auto& sized : m_blocks)
        blocks += qsizetype(sized.size());
    return blocks;
}
