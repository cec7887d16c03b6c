#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken property aborts: libFuzzer keeps the input as a crash, and the replay in
// the ordinary build fails with the condition's text.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            FuzzCheck::fail(#condition, __FILE__, __LINE__);                                       \
    } while (false)

namespace FuzzCheck {

[[noreturn]] inline void fail(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

// The program's MAC text: six groups of two upper-case hexadecimal digits joined by "-".
inline bool isMacText(QStringView text)
{
    if (text.size() != 17)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool ok =
            i % 3 == 2 ? c == u'-' : (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
        if (!ok)
            return false;
    }
    return true;
}

// The line rule of the text files and tool outputs, stated another way than the
// splitter states it: CR LF and CR read as LF, one final terminator ends the last line
// instead of starting an empty one.
inline void checkLines(QStringView text, const QStringList& lines)
{
    QString expected = text.toString();
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    if (expected.endsWith(u'\n'))
        expected.chop(1);
    FUZZ_CHECK(lines.join(u'\n') == expected);
    FUZZ_CHECK(lines.size() == (text.isEmpty() ? 0 : expected.count(u'\n') + 1));
}

// An input as the bytes it holds; the replay and libFuzzer may pass no pointer at all
// for an empty input.
inline QByteArrayView bytesOf(const uint8_t* data, size_t size)
{
    return size == 0 ? QByteArrayView() : QByteArrayView(data, qsizetype(size));
}

} // namespace FuzzCheck
