#pragma once

#include "text/TextFile.h"

#include <QString>
#include <QStringList>

// The history log keeps the survey list between runs: the data rows of lstDat2, one
// per line, no header. The same loader reads a CSV file chosen for import.

inline constexpr char16_t kHistoryLogName[] = u"Netroscope.log";

// What subListLoad read: the stored rows, no header. No rows also when the file
// could not be opened: at start-up a missing log simply means an empty list.
struct LoadedList {
    bool opened = false; // the file was opened and read whole
    TextFile::ReadResult::Failure failure = TextFile::ReadResult::None; // why not
    QString error;          // why not, for a message, when !opened
    bool hasHeader = false; // read as a CSV file: its first line is a header, left out
    QStringList rows;       // data rows, each line exactly as read
};

// Reads every line of the file. A path whose last four characters are ".csv" in any
// case has its first line skipped, whatever it holds. A file that cannot be opened
// gives opened == false, so that an import can leave the list the user already has
// instead of wiping the history.
LoadedList subListLoad(const QString& path);

// Writes the data rows of lstDat2 (index 0 is its header and is not written) to the
// log, replacing it only once the new content is complete. With no data rows the log
// is deleted instead.
TextFile::WriteResult subLogSave(const QStringList& lstDat2, const QString& logPath);

// Where the log lives: the program directory when the program is not installed, the
// directory is the user's alone and passes the write test, otherwise the data
// directory (created when missing). An installed program usually may not write beside
// its executable, and the history would silently be lost.
QString historyLogPath(const QString& programDir, const QString& dataDir);

// The same for this run's program and data directories. Decided on the first call
// and kept for the rest of the run, so that shut-down writes where start-up read.
QString historyLogPath();
