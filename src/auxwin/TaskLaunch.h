#pragma once

#include <QString>

class Launcher;

// Where and how often a pattern occurs in a text; positions count from 1.
struct CharMatch {
    qint32 position = 0;
    qint32 count = 0;
};

// Mode 0: the first occurrence (count 1) or none. Any other mode: every occurrence,
// overlapping ones included, with the position of the last. Case-sensitive.
CharMatch CharChk(int mode, const QString& text, const QString& pattern);

// What TskKidou starts for a path.
struct TaskPlan {
    enum Kind {
        Program,  // `program` with `arguments`, when `program` is an ordinary file
        Document, // `file` with its associated program, in `workingDirectory`
    };
    Kind kind = Document;
    QString program;
    QString arguments;
    QString file;
    QString workingDirectory;
};

// The case a path falls in, for paths written with `separator` ('\\' in the Windows
// profile, '/' on Linux): a program command line (the path holds ".EXE " in any
// case), a bare name (opened in the program directory), a path that climbs from the
// program directory with leading "..\\", or a path with its own directory.
TaskPlan planTask(const QString& path, const QString& programDir, QChar separator);

// TskKidou's results.
enum TaskResult : qint16 { TaskStarted = 0, TaskNotStarted = 2 };

// Starts what planTask chose through `launcher`: TaskStarted once the program or the
// document's opener was started, TaskNotStarted when nothing was (a program file
// that is missing or not an ordinary file included).
qint16 TskKidou(Launcher& launcher, const QString& path, const QString& programDir,
                QChar separator);

// An ordinary file: not a folder, not hidden.
bool isOrdinaryFile(const QString& path);
