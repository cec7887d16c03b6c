#include "probes/packets/ProbeText.h"

#include "text/TextFile.h"

namespace ProbeText {

namespace {

bool isFieldChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_';
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

} // namespace

QStringList lines(QStringView text)
{
    // Tool output breaks its lines like the text files we read.
    return TextFile::splitLines(text);
}

QStringList fields(QStringView line)
{
    QStringList result;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        const bool blank = i == line.size() || line[i].isSpace();
        if (blank && start >= 0) {
            result.append(line.mid(start, i - start).toString());
            start = -1;
        } else if (!blank && start < 0) {
            start = i;
        }
    }
    return result;
}

bool namesAddress(QStringView line, QStringView ip)
{
    if (ip.isEmpty())
        return false;
    for (qsizetype at = line.indexOf(ip); at >= 0; at = line.indexOf(ip, at + 1)) {
        const qsizetype end = at + ip.size();
        const bool openBefore = at == 0 || !isFieldChar(line[at - 1]);
        const bool openAfter = end == line.size() || !isFieldChar(line[end]);
        if (openBefore && openAfter)
            return true;
    }
    return false;
}

QString normaliseMac(QStringView text)
{
    if (text.size() != 17)
        return {};
    const QChar separator = text[2];
    if (separator != u':' && separator != u'-')
        return {};
    QString mac;
    mac.reserve(17);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (i % 3 == 2) {
            if (c != separator)
                return {};
            mac += u'-';
        } else {
            if (!isHexDigit(c))
                return {};
            mac += c.toUpper();
        }
    }
    return mac;
}

bool isSafeOperand(QStringView text)
{
    // "-" starts an option of every ping; "/" one of Windows' ping.exe ("/t" never ends).
    if (text.isEmpty() || text.startsWith(u'-') || text.startsWith(u'/'))
        return false;
    for (QChar c : text) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QString cleanHostName(QStringView name)
{
    QString clean;
    clean.reserve(name.size());
    // By code point, not by UTF-16 unit: the tag characters beyond the first plane are
    // format characters as invisible as those within it.
    for (qsizetype i = 0; i < name.size();) {
        const bool pair =
            name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate();
        const qsizetype n = pair ? 2 : 1;
        const char32_t c = pair ? QChar::surrogateToUcs4(name[i], name[i + 1]) : name[i].unicode();
        const auto category = QChar::category(c);
        // Format characters (right-to-left overrides, zero-width spaces) would reorder
        // or hide parts of a display row without being seen themselves.
        const bool drop = c == u',' || category == QChar::Other_Control ||
                          category == QChar::Other_Format || category == QChar::Separator_Line ||
                          category == QChar::Separator_Paragraph;
        if (!drop)
            clean += name.mid(i, n);
        i += n;
    }
    return clean.trimmed();
}

QString lanHostName(QStringView name)
{
    // Checked before cleaning, which would drop the comma or control character and
    // make a harmless-looking name of what was never one. An apostrophe stays: Windows
    // allows it in a computer name, and no spreadsheet starts a formula with it.
    for (QChar c : name) {
        const auto category = c.category();
        if (c == u',' || c == u'"' || category == QChar::Other_Control ||
            category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            return {};
    }
    QString clean = cleanHostName(name);
    if (clean.startsWith(u'=') || clean.startsWith(u'+') || clean.startsWith(u'-') ||
        clean.startsWith(u'@'))
        return {};
    return clean;
}

} // namespace ProbeText
