#include "store/TextFile.h"

#include "survey/Cp932.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace TextFile {

QStringList splitLines(QStringView text)
{
    QStringList lines;
    qsizetype begin = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(begin, i - begin).toString());
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        begin = i + 1;
    }
    if (begin < n)
        lines.append(text.mid(begin).toString());
    return lines;
}

ReadResult read(const QString& path)
{
    ReadResult result;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    result.lines = splitLines(Cp932::decode(bytes));
    return result;
}

WriteResult write(const QString& path, const QStringList& lines)
{
    WriteResult result;
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
