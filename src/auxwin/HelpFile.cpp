#include "auxwin/HelpFile.h"

#include "auxwin/TaskLaunch.h"

using namespace Qt::Literals::StringLiterals;

QString findHelpFile(const QString& programDir, const QStringList& htmlDirs, QChar separator)
{
    // The old help format first: a user who keeps one beside the program still gets it.
    // Nothing opens it on current systems, so the project ships its own page too.
    QStringList candidates{programDir + separator + u"Netroscope.hlp"_s};
    for (const QString& dir : htmlDirs)
        candidates.append(dir + separator + u"Netroscope.html"_s);
    for (const QString& path : candidates)
        if (isOrdinaryFile(path))
            return path;
    return {};
}
