#pragma once

#include "TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStringList>

#include <csignal>

// What /proc says of running processes, for tests that check what a run leaves
// behind.
namespace ProcessWatch {

// The process ids whose parent is `parent` (this process by default).
inline QStringList childProcesses(qint64 parent = QCoreApplication::applicationPid())
{
    QStringList found;
    const QByteArray parentId = QByteArray::number(parent);
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : entries) {
        if (!pid.front().isDigit())
            continue;
        const QByteArray stat =
            TestFiles::readBytes(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        // pid (comm) state ppid ...: the name may hold blanks, so split after ')'.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1) == parentId)
            found.append(pid);
    }
    return found;
}

// Signals a child only while it runs: the id of one that has ended is 0, and kill(0)
// would signal this process's whole group, the test runner included.
inline bool signalChild(const QProcess& process, int signal)
{
    const qint64 pid = process.processId();
    return process.state() == QProcess::Running && pid > 0 && ::kill(pid_t(pid), signal) == 0;
}

} // namespace ProcessWatch
