// Code page 932 conversion and the byte-width functions. Input: byte 0 minus 2 is the
// start and byte 1 minus 2 the count given to AnsiMidB (so both reach 0 and below),
// byte 2 picks where a text is split; the rest is read twice: as code page 932 bytes
// to decode, and as UTF-16 code units (little-endian pairs, lone surrogates and all)
// to encode.

#include "FuzzCheck.h"

#include "text/ByteWidth.h"
#include "text/Cp932.h"

namespace {

// Code points of a text: a surrogate pair is one, a lone surrogate one of its own.
qsizetype codePoints(QStringView text)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++n) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const int start = int(data[0]) - 2;
    const int count = int(data[1]) - 2;
    const int splitPick = data[2];
    const QByteArrayView payload = FuzzCheck::bytesOf(data + 3, size - 3);

    // Text read from a file encodes back to itself, unless the bytes held something
    // the code page does not define.
    const QString decoded = Cp932::decode(payload);
    FUZZ_CHECK(decoded.size() <= payload.size());
    if (!decoded.contains(QChar::ReplacementCharacter))
        FUZZ_CHECK(Cp932::decode(Cp932::encode(decoded)) == decoded);

    QString text(payload.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t(uchar(payload[2 * i]) | uchar(payload[2 * i + 1]) << 8));

    // Every code point is one or two bytes: unrepresentable ones one "?".
    const QByteArray bytes = Cp932::encode(text);
    const qsizetype points = codePoints(text);
    FUZZ_CHECK(AnsiLenB(text) == bytes.size());
    FUZZ_CHECK(bytes.size() >= points && bytes.size() <= 2 * points);
    FUZZ_CHECK(Cp932::decode(bytes).size() == points);

    // The width of a text is the sum of the widths of its parts, wherever it is cut
    // between code points.
    const qsizetype split = splitPick % (text.size() + 1);
    if (split == 0 || split == text.size() || !text[split - 1].isHighSurrogate() ||
        !text[split].isLowSurrogate())
        FUZZ_CHECK(Cp932::encode(QStringView(text).left(split)) +
                       Cp932::encode(QStringView(text).mid(split)) ==
                   bytes);

    // AnsiMidB takes at most `count` bytes, none from past the end; from the first
    // byte on they are the text's own bytes, less at most a cut half character.
    const QString mid = AnsiMidB(text, start, count);
    const QByteArray midBytes = Cp932::encode(mid);
    if (count <= 0 || std::max(start, 1) > bytes.size())
        FUZZ_CHECK(mid.isEmpty());
    FUZZ_CHECK(midBytes.size() <= std::max(count, 0));
    if (start <= 1 && count > 0) {
        FUZZ_CHECK(bytes.startsWith(midBytes));
        FUZZ_CHECK(midBytes.size() >= std::min<qsizetype>(count, bytes.size()) - 1);
    }
    return 0;
}
