#include "store/ProgramFolders.h"

#include <QDir>
#include <QFileInfo>

namespace ProgramFolders {

QString installedDataDir(const QString& programDir)
{
    if (programDir.isEmpty())
        return {};
    // The relative path comes from the install rules, so a changed prefix or data
    // directory still finds the files that were installed with the program.
    const QFileInfo data(QDir(programDir).filePath(QStringLiteral(NETROSCOPE_DATADIR_FROM_BINDIR)));
    return data.isDir() ? QDir::cleanPath(data.absoluteFilePath()) : QString();
}

QStringList helpDirs(const QString& programDir)
{
    QStringList dirs{programDir};
    const QString installed = installedDataDir(programDir);
    if (!installed.isEmpty())
        dirs.append(installed);
    return dirs;
}

} // namespace ProgramFolders
