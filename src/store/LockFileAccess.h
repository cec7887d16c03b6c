#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The log's lock file lies in a folder that others may share: in its place a neighbour
// may put a link, a pipe that never answers or a file without end. The lock's holder
// and those who judge it read and renew it here, without following a link, without
// waiting on something that is not a plain file, and never more than a lock holds.

// More than Qt's holder lines (pid, program, host, machine and boot ids) ever take.
inline constexpr qsizetype kMaxLockFileBytes = 4096;

struct LockFileSeen {
    QByteArray bytes;
    QDateTime modified; // UTC
};

// The lock file at `path` as it stands; none when the path holds no plain file of at
// most kMaxLockFileBytes (nothing there, a link, a pipe, a folder, a large file).
std::optional<LockFileSeen> readLockFile(const QString& path);

enum class LockRenewal {
    Renewed, // its time is now
    NotOurs, // gone, or another holder's now
    Failed,  // still ours, but its time could not be set
};

// Sets the time of the lock file at `path` to now, while it still holds `bytes`, the
// holder's own lines as it wrote them.
LockRenewal renewLockFile(const QString& path, const QByteArray& bytes);
