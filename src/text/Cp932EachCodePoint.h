#pragma once

#include <QByteArray>
#include <QStringView>

namespace Cp932 {

// Encodes `text` one code point at a time through `encodeOne(QStringView, bool*
// unmappable)`, for a text in which the converter met a character it cannot map.
// Converters write such a character as they please (ICU two bytes that are no
// character, Windows one default character for each UTF-16 unit); here each becomes
// the single "?" the program counts it as.
template <typename EncodeOne> QByteArray encodeEachCodePoint(QStringView text, EncodeOne encodeOne)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        // Only a whole pair is one code point: a lone high surrogate is one of its own,
        // and the character after it must not vanish into its "?".
        const bool pair =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const qsizetype n = pair ? 2 : 1;
        bool unmappable = false;
        const QByteArray one = encodeOne(text.mid(i, n), &unmappable);
        if (unmappable || one.isEmpty())
            out.append('?');
        else
            out.append(one);
        i += n;
    }
    return out;
}

} // namespace Cp932
