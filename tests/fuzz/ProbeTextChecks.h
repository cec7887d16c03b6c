#pragma once

#include "FuzzCheck.h"

#include "probes/packets/ProbeText.h"

#include <algorithm>

namespace FuzzCheck {

inline bool isHiddenOrBreaking(char32_t c)
{
    const auto category = QChar::category(c);
    return c == u',' || category == QChar::Other_Control || category == QChar::Other_Format ||
           category == QChar::Separator_Line || category == QChar::Separator_Paragraph;
}

// The text rules every profile's parsers build on, on one address text (also taken as
// a name from the resolver) and the lines of one tool output.
inline void checkProbeText(const QString& ip, const QString& output)
{
    const QStringList lines = ProbeText::lines(output);
    checkLines(output, lines);
    for (const QString& line : lines) {
        // Fields are the line less its blanks, cut where the blanks were.
        const QStringList fields = ProbeText::fields(line);
        QString nonBlank;
        for (QChar c : line) {
            if (!c.isSpace())
                nonBlank += c;
        }
        FUZZ_CHECK(fields.join(QString()) == nonBlank);
        for (const QString& field : fields) {
            FUZZ_CHECK(!field.isEmpty());
            FUZZ_CHECK(
                std::none_of(field.begin(), field.end(), [](QChar c) { return c.isSpace(); }));
        }
        if (ProbeText::namesAddress(line, ip))
            FUZZ_CHECK(!ip.isEmpty() && line.contains(ip));
    }

    // A MAC text is either the program's form or nothing, and stays as it is when read
    // again.
    const QString mac = ProbeText::normaliseMac(ip);
    FUZZ_CHECK(mac.isEmpty() || isMacText(mac));
    FUZZ_CHECK(ProbeText::normaliseMac(mac) == mac);

    if (ProbeText::isSafeOperand(ip)) {
        FUZZ_CHECK(!ip.isEmpty() && !ip.startsWith(u'-') && !ip.startsWith(u'/'));
        for (QChar c : ip)
            FUZZ_CHECK(!c.isSpace() && c.category() != QChar::Other_Control);
    }

    // A cleaned name holds nothing that hides, reorders or breaks a row, no blanks
    // around it, and cleaning it again changes nothing.
    const QString name = ProbeText::cleanHostName(ip);
    FUZZ_CHECK(name == name.trimmed());
    for (char32_t c : name.toUcs4())
        FUZZ_CHECK(!isHiddenOrBreaking(c));
    FUZZ_CHECK(ProbeText::cleanHostName(name) == name);
}

} // namespace FuzzCheck
