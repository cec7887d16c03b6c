#include "text/TextFile.h"

#include "text/Cp932.h"
#include "text/FileOwner.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <algorithm>
#include <optional>

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

Target writeTarget(const QString& path)
{
    Target target;
    QString at = path;
    // The system itself follows no more than 40 links on one path.
    for (int links = 0; links <= 40; ++links) {
        const QFileInfo info(at);
        const bool link = info.isSymbolicLink();
        if (!link && !info.exists()) {
            target.path = at;
            return target;
        }
        if (!FileOwner::isOwn(at)) {
            target.error = link ? u"ほかのユーザーが作ったリンクのため、書き込みません"_s
                                : u"ほかのユーザーのファイルのため、書き込みません"_s;
            return target;
        }
        if (!link) {
            target.path = at;
            return target;
        }
        at = info.symLinkTarget();
    }
    target.error = u"リンクが多すぎます"_s;
    return target;
}

QByteArray encode(const QStringList& lines)
{
    QString text;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString& line : lines) {
        text += line;
        text += u"\r\n";
    }
    return Cp932::encode(text);
}

QString asKept(QStringView text)
{
    // ASCII is the code page's first half byte for byte, and most names are ASCII: a
    // comparison of a million rows need not ask the converter for each. Without a
    // converter nothing is written, so nothing is lost either.
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii || !Cp932::available())
        return text.toString();
    return Cp932::decode(Cp932::encode(text));
}

namespace {

// The one way a file is replaced: QSaveFile makes a new file of a unique name beside the
// target, exclusively, and commit() syncs it to disk and renames it over the target.
// Without `permissions` the new file takes the old one's (a first file the umask's).
WriteResult replaceWith(const QString& path, QByteArrayView bytes,
                        std::optional<QFileDevice::Permissions> permissions)
{
    WriteResult result;
    // QSaveFile would follow a link at the path by itself, whoever made it: it is given
    // the file that the user's own links lead to instead.
    const Target target = writeTarget(path);
    if (!target.error.isEmpty()) {
        result.error = target.error;
        return result;
    }

    QSaveFile file(target.path);
    if (target.path.isEmpty() || !file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    // Set on the new file while it is still the program's alone.
    if ((permissions && !file.setPermissions(*permissions)) ||
        file.write(bytes.data(), bytes.size()) != bytes.size() || !file.commit()) {
        result.error = file.errorString();
        file.cancelWriting();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace

WriteResult write(const QString& path, const QStringList& lines)
{
    if (!Cp932::available())
        return {false, u"コードページ 932 の変換が使えません"_s};
    return replaceWith(path, encode(lines), std::nullopt);
}

WriteResult replace(const QString& path, QByteArrayView bytes, QFileDevice::Permissions permissions)
{
    return replaceWith(path, bytes, permissions);
}

namespace {

// Opens a new file exclusively (O_EXCL: a link at the path is not followed but
// refused) and fills it; the file is removed by its name when it cannot be filled
// whole: it was made just now, and by this call.
template <typename Fill>
WriteResult createWith(const QString& path, QFileDevice::Permissions permissions, Fill&& fill)
{
    WriteResult result;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions)) {
        result.error = file.errorString();
        return result;
    }
    bool ok = fill(file) && file.flush();
    file.close();
    ok = ok && file.error() == QFileDevice::NoError;
    if (!ok) {
        result.error = file.errorString();
        QFile::remove(path);
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace

WriteResult createNew(const QString& path, QByteArrayView bytes,
                      QFileDevice::Permissions permissions)
{
    return createWith(path, permissions, [bytes](QFile& file) {
        return file.write(bytes.data(), bytes.size()) == bytes.size();
    });
}

WriteResult copyNew(const QString& source, const QString& path,
                    QFileDevice::Permissions permissions)
{
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly))
        return {false, from.errorString()};
    return createWith(path, permissions, [&from](QFile& file) {
        while (!from.atEnd()) {
            const QByteArray chunk = from.read(1024 * 1024);
            if (chunk.isEmpty() || file.write(chunk) != chunk.size())
                return false;
        }
        return from.error() == QFileDevice::NoError;
    });
}

bool remove(const QString& path)
{
    if (path.isEmpty())
        return true;
    if (FileOwner::isOwn(path))
        QFile::remove(path);
    // A dangling symbolic link counts as something left behind.
    const QFileInfo info(path);
    return !info.exists() && !info.isSymbolicLink();
}

bool writeTest(const QString& path)
{
    if (path.isEmpty())
        return false;
    // Deliberately not a QSaveFile: the question is whether a file can be created in
    // the directory, not whether it takes a temporary file and a rename. A name that a
    // file or link of someone else's may hold must not be opened, so each test has its own.
    const QString probe =
        path + u'.' + QString::number(QRandomGenerator::system()->generate64(), 36);
    const bool ok = createNew(probe, "TEST\r\n", QFile::ReadOwner | QFile::WriteOwner).ok;
    // Removed on every path, also when the write failed half-way.
    const bool removed = remove(probe);
    return ok && removed;
}

} // namespace TextFile
