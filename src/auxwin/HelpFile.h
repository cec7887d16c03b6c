#pragma once

#include <QString>
#include <QStringList>

// The help document the help item opens: "Netroscope.hlp" beside the program when
// one is there, otherwise the first "Netroscope.html" of `htmlDirs`; an empty text
// when there is none. Paths are joined with `separator`, so that the launcher sees
// them written the platform's way.
QString findHelpFile(const QString& programDir, const QStringList& htmlDirs, QChar separator);
