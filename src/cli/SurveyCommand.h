#pragma once

#include <QString>
#include <QStringList>

// What the program was asked for on its command line: the window, an answer on the
// terminal, or a survey for scripts, scheduled jobs and machines without a desktop
// (the window's survey, without creating any window).
struct SurveyCommand {
    enum class Mode {
        Window,   // no survey option: the arguments belong to the window
        Help,     // --help, -h, -?
        Version,  // --version, -v
        Survey,   // --survey [FIRST-LAST]
        Resurvey, // --resurvey FILE
    };
    Mode mode = Mode::Window;

    bool hasRange = false; // without one, the PC's own /24 from .1 to .254
    QString prefix;        // the three fixed octets, each followed by "."
    int first = 1;
    int last = 254;

    QString resurveyFile;
    QString csvFile;  // --csv: the list in the program's CSV format
    bool log = false; // --log: the list also as the history log
    bool quiet = false;
    // --changes: what differs from the list before (the history log, or --against's
    // file) goes to standard output instead of the rows.
    bool changes = false;
    QString againstFile; // --against: implies --changes
    // --vendor: the rows on standard output gain a fourth field, who made the MAC.
    bool vendor = false;

    // A usage error in one line, Japanese and English, naming the option or value.
    QString error;

    // Where the rows go when no file takes them: standard output, one per line.
    bool rowsToStandardOutput() const
    {
        return mode == Mode::Survey && csvFile.isEmpty() && !changes;
    }
};

// Reads the program's arguments, its own name first, as main receives them. Needs no
// application object, so that the window's, the terminal's and the survey's options
// are all read here, once, before anything is started.
SurveyCommand parseSurveyCommand(const QStringList& arguments);

// FIRST-LAST: "192.168.1.1-254" or "192.168.1.1-192.168.1.254". Each octet a plain
// decimal number within the window's limits (0 to 255, the last octets 1 to 254), the
// same first three octets at both ends, and FIRST not after LAST. Fills the range of
// `command`, or its error.
void parseSurveyRange(const QString& text, SurveyCommand& command);

// What --help shows, built from the same options; `historyLog` is where the log is.
// Needs the application object for the program's name.
QString surveyCommandHelp(const QString& historyLog);
