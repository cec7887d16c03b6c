#pragma once

#include <QString>
#include <QStringList>

// Every text file the program reads or writes goes through here: code page 932, no
// byte-order mark, CR LF after every line written. Writes are atomic, so a crash or
// a full disk during a save leaves the previous file whole.
namespace TextFile {

// The most a file read may hold. Far above a million rows of a survey list, and low
// enough that a file of any size or a device that never ends cannot exhaust memory.
inline constexpr qint64 kMaxReadBytes = 256 * 1024 * 1024;
inline constexpr qsizetype kMaxReadLines = 2'000'000;

struct ReadResult {
    enum Failure {
        None,
        Missing,    // nothing at the path
        NotAFile,   // a folder, a device, a FIFO, a dangling link: never opened
        TooLarge,   // beyond kMaxReadBytes or kMaxReadLines
        Unreadable, // could not be opened or read (permission, I/O error, no converter)
        NotText,    // bytes that are not code page 932 text
    };
    bool ok = false; // the file was read whole
    Failure failure = None;
    QStringList lines; // without their terminators
    QString error;     // what went wrong, for a message, when !ok
};

// A line ends at CR, CR LF or LF. A last line without a terminator still counts;
// the empty text after a final terminator is no line. Only a regular file is opened,
// and only one that decodes whole: a text that would not give back its own bytes
// must not be taken for the file's content.
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
