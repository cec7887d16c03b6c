#include "auxwin/TaskLaunch.h"

#include "auxwin/Launcher.h"

#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

CharMatch CharChk(int mode, const QString& text, const QString& pattern)
{
    CharMatch match;
    if (pattern.isEmpty())
        return match;
    qsizetype at = text.indexOf(pattern);
    if (mode == 0) {
        if (at >= 0)
            match = {qint32(at + 1), 1};
        return match;
    }
    while (at >= 0) {
        ++match.count;
        match.position = qint32(at + 1);
        at = text.indexOf(pattern, at + 1);
    }
    return match;
}

TaskPlan planTask(const QString& path, const QString& programDir, QChar separator)
{
    const QString sep(separator);
    const qint32 lastSep = CharChk(1, path, sep).position;
    // Folded one character at a time, so that positions stay the path's own: an
    // upper-cased copy is longer wherever a letter upper-cases to two ("ß" to "SS").
    const qint32 exePos = qint32(path.lastIndexOf(u".EXE "_s, -1, Qt::CaseInsensitive) + 1);

    TaskPlan plan;
    if (exePos > 0) {
        plan.kind = TaskPlan::Program;
        plan.program = path.left(exePos + 3);
        plan.arguments = path.mid(exePos + 3).trimmed();
        return plan;
    }
    if (lastSep == 0) {
        plan.file = path;
        plan.workingDirectory = programDir;
        return plan;
    }
    const QString up = u".."_s + sep;
    if (path.startsWith(up)) {
        // Only the leading "..\" climb; one further inside the path belongs to the
        // rest of it and is left for the system to resolve.
        qint32 n = 0;
        while (path.mid(3 * n, 3) == up)
            ++n;
        QString base = programDir;
        for (qint32 k = 0; k < n; ++k) {
            const qsizetype cut = base.lastIndexOf(separator);
            if (cut < 0)
                break; // nothing above the root
            base.truncate(cut);
        }
        const qint32 dirLength = std::max(0, lastSep - 1 - 3 * n);
        plan.workingDirectory = base + sep + path.mid(3 * n, dirLength);
        plan.file = base + sep + path.mid(3 * n);
        return plan;
    }
    plan.file = path;
    plan.workingDirectory = path.left(lastSep - 1);
    return plan;
}

qint16 TskKidou(Launcher& launcher, const QString& path, const QString& programDir, QChar separator)
{
    const TaskPlan plan = planTask(path, programDir, separator);
    bool started = false;
    if (plan.kind == TaskPlan::Program)
        started =
            isOrdinaryFile(plan.program) && launcher.startProgram(plan.program, plan.arguments);
    else
        started = launcher.openDocument(plan.file, plan.workingDirectory);
    return started ? TaskStarted : TaskNotStarted;
}

bool isOrdinaryFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}
