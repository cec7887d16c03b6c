#pragma once

#include <QByteArrayView>
#include <QFileDevice>
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

// Where a write to `path` lands: the path itself, or the file the user's own links
// lead to. At another user's link or file, `path` is empty and `error` says why: in a
// folder that others may write, their link would turn a save into a write to any file
// the program may write (root's included), and their file is theirs to keep.
struct Target {
    QString path;
    QString error;
};
Target writeTarget(const QString& path);

// The lines as write() puts them on disk: code page 932, each followed by CR LF.
QByteArray encode(const QStringList& lines);

// A text as a file written here gives it back: what code page 932 cannot hold reads
// back as "?". Texts that differ only there are one text to anything that reads a file.
QString asKept(QStringView text);

// Writes every line followed by CR LF, to where writeTarget() leads. The target is
// replaced only once the new content is complete on disk.
WriteResult write(const QString& path, const QStringList& lines);

// Writes the bytes as they are, the same way: a new file of a name of its own beside the
// target, synced and renamed into place. It is left with `permissions` whatever the umask,
// for a file that another program (running as another user) must read.
WriteResult replace(const QString& path, QByteArrayView bytes,
                    QFileDevice::Permissions permissions);

// Creates a file that was not there: fails when anything is at the path, a link
// included, instead of opening it. Made with `permissions` (less the umask); one that
// cannot be filled whole is removed again.
WriteResult createNew(const QString& path, QByteArrayView bytes,
                      QFileDevice::Permissions permissions);

// The same, filled with the bytes of the file at `source` as they are.
WriteResult copyNew(const QString& source, const QString& path,
                    QFileDevice::Permissions permissions);

// Deletes the user's own file (a link itself, not what it leads to); a missing file
// or an empty path is no error, and another user's entry is left. True when nothing
// is left at the path afterwards, so a caller that cares can tell a refused delete.
bool remove(const QString& path);

// Whether a new file can be created, written and closed beside `path`: one named
// `path` and a suffix of its own, made new and removed again. Whatever is already at
// `path` (a file, another user's link) is never opened or deleted, and nothing is left.
bool writeTest(const QString& path);

} // namespace TextFile
