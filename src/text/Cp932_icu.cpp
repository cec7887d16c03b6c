#include "text/Cp932.h"

#include "text/Cp932EachCodePoint.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <atomic>

// "windows-31j" is the name under which ICU keeps Microsoft's table. ICU's
// "Shift_JIS" is a different table: it maps 0x5C to the yen sign and 0x8160 to
// the wave dash, which would corrupt every backslash and tilde we read.
static constexpr const char kCodecName[] = "windows-31j";

namespace Cp932 {

namespace {
std::atomic<bool> g_simulateMissing{false};
}

bool available()
{
    return !g_simulateMissing.load() && QStringEncoder(kCodecName).isValid();
}

void simulateMissingConverter(bool missing)
{
    g_simulateMissing.store(missing);
}

QByteArray encode(QStringView text)
{
    // A fresh converter each time: once ICU has reported an unmappable character,
    // a reused converter goes on flagging every later text as unmappable.
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    QByteArray whole = encoder.encode(text);
    if (!encoder.hasError())
        return whole;

    // ICU substitutes 0xFCFC for a character it cannot map, two bytes that are no
    // character of the code page.
    return encodeEachCodePoint(text, [](QStringView one, bool* unmappable) {
        QStringEncoder single(kCodecName, QStringConverter::Flag::Stateless);
        QByteArray bytes = single.encode(one);
        *unmappable = single.hasError();
        return bytes;
    });
}

QString decode(QByteArrayView bytes)
{
    // A fresh decoder that is never flushed: a lead byte cut from its trail byte at
    // the end of the bytes is dropped rather than shown as a replacement character.
    QStringDecoder decoder(kCodecName);
    return decoder.decode(bytes);
}

QString decode(QByteArrayView bytes, bool* whole)
{
    // Stateless: a lead byte cut off at the end counts as an error instead of
    // waiting for a trail byte that never comes.
    QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (whole)
        *whole = !decoder.hasError();
    return text;
}

} // namespace Cp932
