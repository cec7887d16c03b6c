#include "text/TextFile.h"

#include "text/Cp932.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::Literals::StringLiterals;

namespace TextFile {

namespace {

// Calls `line` with each line of the text, by the rule splitLines() promises.
template <typename Line> void forEachLine(QStringView text, Line&& line)
{
    qsizetype begin = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        line(text.mid(begin, i - begin));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        begin = i + 1;
    }
    if (begin < n)
        line(text.mid(begin));
}

ReadResult failed(ReadResult::Failure failure, const QString& error)
{
    ReadResult result;
    result.failure = failure;
    result.error = error;
    return result;
}

qsizetype countLines(QStringView text)
{
    qsizetype lines = 0;
    forEachLine(text, [&lines](QStringView) { ++lines; });
    return lines;
}

QString tooLargeText()
{
    return u"ファイルが大きすぎます（%1 MiB、%2 行まで）"_s.arg(
        QString::number(kMaxReadBytes / (1024 * 1024)), QString::number(kMaxReadLines));
}

} // namespace

QStringList splitLines(QStringView text)
{
    QStringList lines;
    forEachLine(text, [&lines](QStringView line) { lines.append(line.toString()); });
    return lines;
}

ReadResult read(const QString& path)
{
    if (path.isEmpty())
        return failed(ReadResult::Missing, u"ファイル名がありません"_s);
    if (!Cp932::available())
        return failed(ReadResult::Unreadable, u"コードページ 932 の変換が使えません"_s);

    // Checked before opening: opening a FIFO for reading waits for a writer, and a
    // device such as /dev/zero never ends.
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return failed(ReadResult::Missing, u"ファイルがありません"_s);
    if (!info.isFile())
        return failed(ReadResult::NotAFile, u"通常のファイルではありません"_s);
    if (info.size() > kMaxReadBytes)
        return failed(ReadResult::TooLarge, tooLargeText());

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(ReadResult::Unreadable, file.errorString());
    // Sized for what the file held when it was looked at (a read of the limit would
    // reserve the whole limit for every small log); a file that grew since is read on
    // in chunks, to one byte beyond the limit, which tells it is too large.
    QByteArray bytes = file.read(std::min(info.size(), kMaxReadBytes) + 1);
    while (bytes.size() <= kMaxReadBytes && !file.atEnd()) {
        const QByteArray more =
            file.read(std::min<qint64>(1024 * 1024, kMaxReadBytes + 1 - bytes.size()));
        if (more.isEmpty())
            break;
        bytes += more;
    }
    if (file.error() != QFileDevice::NoError)
        return failed(ReadResult::Unreadable, file.errorString());
    if (bytes.size() > kMaxReadBytes)
        return failed(ReadResult::TooLarge, tooLargeText());

    bool whole = false;
    const QString text = Cp932::decode(bytes, &whole);
    if (!whole)
        return failed(ReadResult::NotText,
                      u"コードページ 932 の文字として読めないバイトがあります"_s);
    if (countLines(text) > kMaxReadLines)
        return failed(ReadResult::TooLarge, tooLargeText());

    ReadResult result;
    result.ok = true;
    result.lines = splitLines(text);
    return result;
}

WriteResult write(const QString& path, const QStringList& lines)
{
    WriteResult result;
    if (!Cp932::available()) {
        result.error = u"コードページ 932 の変換が使えません"_s;
        return result;
    }
    QString text;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString& line : lines) {
        text += line;
        text += u"\r\n";
    }
    const QByteArray bytes = Cp932::encode(text);

    QSaveFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        result.error = file.errorString();
        file.cancelWriting();
        return result;
    }
    result.ok = true;
    return result;
}

bool remove(const QString& path)
{
    if (path.isEmpty())
        return true;
    QFile::remove(path);
    // A dangling symbolic link counts as something left behind.
    const QFileInfo info(path);
    return !info.exists() && !info.isSymLink();
}

bool writeTest(const QString& path)
{
    if (path.isEmpty())
        return false;
    // Deliberately not a QSaveFile: the question is whether this very path can be
    // created, not whether its directory takes a temporary file and a rename.
    QFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    ok = ok && file.write("TEST\r\n", 6) == 6;
    ok = ok && file.flush();
    file.close();
    ok = ok && file.error() == QFileDevice::NoError;
    // Removed on every path, also when the write failed half-way.
    const bool removed = remove(path);
    return ok && removed;
}

} // namespace TextFile
