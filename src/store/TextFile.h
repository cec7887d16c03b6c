#pragma once

#include <QString>
#include <QStringList>

// Every text file the program reads or writes goes through here: code page 932, no
// byte-order mark, CR LF after every line written. Writes are atomic, so a crash or
// a full disk during a save leaves the previous file whole.
namespace TextFile {

struct ReadResult {
    bool ok = false;   // the file could be opened and read
    QStringList lines; // without their terminators
    QString error;     // what went wrong, for a message, when !ok
};

// A line ends at CR, CR LF or LF. A last line without a terminator still counts;
// the empty text after a final terminator is no line.
ReadResult read(const QString& path);

// Splits already-decoded text into lines by the same rule as read().
QStringList splitLines(QStringView text);

struct WriteResult {
    bool ok = false;
    QString error;
};

// Writes every line followed by CR LF. The target is replaced only once the new
// content is complete on disk.
WriteResult write(const QString& path, const QStringList& lines);

// Deletes the file; a missing file or an empty path is no error. True when no file
// is left at the path afterwards, so a caller that cares can tell a refused delete.
bool remove(const QString& path);

// Whether the path can be created, written and closed: writes "TEST" and CR LF to
// it, then deletes it. Nothing is left at the path, whatever the answer. An existing
// file at the path is overwritten and deleted, so only probe names that nothing
// else uses may be passed.
bool writeTest(const QString& path);

} // namespace TextFile
