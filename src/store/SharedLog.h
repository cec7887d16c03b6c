#pragma once

#include "text/TextFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The history log as more than one program may write it: a window that has been open
// since morning, a nightly `netroscope --survey --log`, a copy put there by hand. The
// window saves at exit only what is its own to save, and never destroys a newer list
// without keeping it.

// What a window knows of the log as it last read or wrote it. Its time is left out:
// a file copied over with the same bytes is no change.
struct LogFingerprint {
    bool exists = false;
    qint64 size = 0;
    QByteArray hash; // of the bytes

    bool sameContent(const LogFingerprint& other) const
    {
        return exists == other.exists && size == other.size && hash == other.hash;
    }
};

LogFingerprint fingerprintOf(const QString& path);

// How many dated copies of other programs' lists are kept beside the log at most.
inline constexpr int kKeptCopies = 5;

struct GuardedSave {
    bool leftNewer = false; // another program's log was left as it was
    TextFile::WriteResult written;
    QString keptCopy;    // where another program's list was kept, if one was
    LogFingerprint seen; // the log as it stands afterwards, when it was written
};

// Saves a window's list at exit or at a session end, `lastSeen` being the log as the
// window last read or wrote it. With the log as it was then, the list is saved as
// ever. When another hand has written (or removed) the log since:
// - a window whose list has not changed since (`listChanged`) leaves the newer log;
// - otherwise the other list is first kept beside the log in a new dated CSV file
//   ("Netroscope-20261207-210501.csv" when made `at` that time, which the import
//   reads; the bytes as they were, in a ".log" file, when they are no list), the oldest
//   of the program's own copies beyond kKeptCopies removed (never the one just made),
//   and noted for the window to tell at its next start. When no copy can be made, or
//   the log is another user's link or file, the log is not overwritten and the save
//   fails.
GuardedSave saveLogGuarded(const QStringList& lstDat2, const QString& logPath,
                           const LogFingerprint& lastSeen, bool listChanged,
                           const QDateTime& at = QDateTime::currentDateTime());

// The copies noted since the window last started, taken: the note is removed.
QStringList takeKeptCopies(const QString& logPath);

// What the window says at start-up of the copies takeKeptCopies() gave.
QString keptCopiesNotice(const QStringList& copies);
