#include "text/FileOwner.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace FileOwner {

bool isOwn(const QString& path)
{
    struct stat entry {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &entry) == 0 &&
           entry.st_uid == ::geteuid();
}

bool othersMayWrite(const QString& folder)
{
    // The folder the path leads to: the one whose entries a save creates and replaces.
    struct stat entry {};
    if (folder.isEmpty() || ::stat(QFile::encodeName(folder).constData(), &entry) != 0)
        return false;
    return entry.st_uid != ::geteuid() || (entry.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

} // namespace FileOwner
