#include "text/Cp932.h"

#include "text/Cp932EachCodePoint.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstddef>

// The system's own table is the one every other program on the machine reads and
// writes these files with, and Qt on Windows need not carry ICU at all.

namespace Cp932 {

namespace {

constexpr UINT kCodePage = 932;
// QString's UTF-16 is handed to the system as its wide characters.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
std::atomic<bool> g_simulateMissing{false};

// Which bytes open a two-byte character, asked once: the boundaries of the
// characters are needed wherever the whole text does not convert.
bool isLeadByte(unsigned char byte)
{
    static const std::array<bool, 256> lead = [] {
        std::array<bool, 256> table{};
        for (std::size_t b = 0; b < table.size(); ++b)
            table[b] = IsDBCSLeadByteEx(kCodePage, BYTE(b)) != FALSE;
        return table;
    }();
    return lead[byte];
}

// A byte that can stand second in a two-byte character.
bool isTrailByte(unsigned char byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// The text of `size` bytes, or nothing when any of them is not code page 932.
QString toText(const char* bytes, int size)
{
    const int length =
        MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, size, nullptr, 0);
    if (length <= 0)
        return {};
    QString text(length, Qt::Uninitialized);
    const int written = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, size,
                                            reinterpret_cast<wchar_t*>(text.data()), length);
    text.resize(written > 0 ? written : 0);
    return text;
}

// The bytes of `text`, or nothing when the system fails; `unmappable` tells whether
// a character had no place in the code page. No best fit: "¥" must not turn into
// the backslash it resembles.
QByteArray toBytes(QStringView text, bool* unmappable)
{
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int size = int(text.size());
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, size, nullptr, 0,
                                           "?", &usedDefault);
    if (length <= 0)
        return {};
    QByteArray bytes(length, Qt::Uninitialized);
    usedDefault = FALSE;
    const int written = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, size,
                                            bytes.data(), length, "?", &usedDefault);
    bytes.resize(written > 0 ? written : 0);
    *unmappable = usedDefault != FALSE;
    return bytes;
}

} // namespace

bool available()
{
    return !g_simulateMissing.load() && IsValidCodePage(kCodePage);
}

void simulateMissingConverter(bool missing)
{
    g_simulateMissing.store(missing);
}

QByteArray encode(QStringView text)
{
    if (text.isEmpty())
        return {};
    // Twice the characters must still fit the system's int byte count.
    if (text.size() <= INT_MAX / 2) {
        bool unmappable = false;
        QByteArray whole = toBytes(text, &unmappable);
        if (!whole.isEmpty() && !unmappable)
            return whole;
    }

    // The system writes a default character for each UTF-16 unit it cannot map:
    // two for a character beyond the first plane.
    return encodeEachCodePoint(text, toBytes);
}

QString decode(QByteArrayView bytes, bool* whole)
{
    bool clean = true;
    qsizetype end = bytes.size();
    // The character boundaries tell whether the last byte is a lead byte cut from its
    // trail byte; it is dropped rather than left for the system to judge.
    for (qsizetype i = 0; i < bytes.size();) {
        const bool lead = isLeadByte(static_cast<unsigned char>(bytes[i]));
        if (lead && i + 1 == bytes.size()) {
            end = i;
            clean = false;
        }
        i += lead ? 2 : 1;
    }

    QString text;
    if (end > 0 && end <= INT_MAX)
        text = toText(bytes.data(), int(end));
    if (text.isEmpty() && end > 0) {
        // Somewhere a byte or a pair is not code page 932: each such one becomes
        // U+FFFD, the characters around it as they are.
        clean = false;
        text.reserve(end);
        for (qsizetype i = 0; i < end;) {
            qsizetype n = 1;
            bool broken = false;
            if (isLeadByte(static_cast<unsigned char>(bytes[i]))) {
                // A pair whose second byte cannot stand second is broken at its first,
                // and the second is read again on its own: a stray lead byte must not
                // swallow the comma or the line break after it.
                if (i + 1 < end && isTrailByte(static_cast<unsigned char>(bytes[i + 1])))
                    n = 2;
                else
                    broken = true;
            }
            const QString one = broken ? QString() : toText(bytes.data() + i, int(n));
            if (one.isEmpty())
                text.append(QChar::ReplacementCharacter);
            else
                text.append(one);
            i += n;
        }
    }
    if (whole)
        *whole = clean;
    return text;
}

QString decode(QByteArrayView bytes)
{
    return decode(bytes, nullptr);
}

} // namespace Cp932
