#pragma once

#include <QString>
#include <QStringList>

// Where the program's own files are, for a program run from its build folder and
// for one installed with its data folder (bin/ and share/netroscope/ side by side).
namespace ProgramFolders {

// The installed data folder that belongs to the program in `programDir`, or an
// empty text when the program does not run from an installed layout.
QString installedDataDir(const QString& programDir);

// The folders that may hold the help page, nearest first: the program directory,
// then its installed data folder.
QStringList helpDirs(const QString& programDir);

} // namespace ProgramFolders
