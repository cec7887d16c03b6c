#include "survey/ProcessLimits.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <sys/resource.h>

namespace {

qint64 softLimit(int resource)
{
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -1;
    return qint64(limit.rlim_cur);
}

qint64 threadsOfThisProcess()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toLongLong();
    }
    return 1;
}

} // namespace

ProcessLimits currentProcessLimits()
{
    ProcessLimits limits;
    limits.openFiles = softLimit(RLIMIT_NOFILE);
    // One more is the listing's own descriptor; harmless in an estimate.
    limits.filesInUse = QDir(QStringLiteral("/proc/self/fd")).count();
    limits.tasks = softLimit(RLIMIT_NPROC);
    limits.tasksInUse = threadsOfThisProcess();
    return limits;
}

void raiseOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}
