#pragma once

#include "survey/AddressRanges.h"

#include <QString>
#include <QStringList>

#include <vector>

// What the program was asked for on its command line: the window, an answer on the
// terminal, or a survey for scripts, scheduled jobs and machines without a desktop
// (the window's survey, without creating any window).
struct SurveyCommand {
    enum class Mode {
        Window,   // no survey option: the arguments belong to the window
        Help,     // --help, -h, -?
        Version,  // --version, -v
        Survey,   // --survey [RANGES]
        Resurvey, // --resurvey FILE
    };
    Mode mode = Mode::Window;

    // The addresses of --survey, in address order. Without any, the PC's own /24 from .1
    // to .254, or with `attached` the networks the PC is attached to: both are known only
    // when the survey runs.
    std::vector<AddressRanges::Range> ranges;
    bool attached = false;

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
    // --json: the rows or the changes on standard output as JSON lines, every field named.
    bool json = false;
    // --metrics: the survey for a monitoring system, in Prometheus's text format.
    QString metricsFile;

    // A usage error in one line, Japanese and English, naming the option or value.
    QString error;

    // Where the rows go when no file takes them: standard output, one per line.
    bool rowsToStandardOutput() const
    {
        return mode == Mode::Survey && csvFile.isEmpty() && !changes;
    }
    // Who made each MAC is wanted: the fourth field, and always in JSON and metrics.
    bool wantsVendors() const { return vendor || json || !metricsFile.isEmpty(); }
};

// Reads the program's arguments, its own name first, as main receives them. Needs no
// application object, so that the window's, the terminal's and the survey's options
// are all read here, once, before anything is started.
SurveyCommand parseSurveyCommand(const QStringList& arguments);

// The range of --survey: what AddressRanges::parse reads, or the word "attached". Fills
// the ranges of `command`, or its error.
void parseSurveyRange(const QString& text, SurveyCommand& command);

// What --help shows, built from the same options; `historyLog` is where the log is.
// Needs the application object for the program's name.
QString surveyCommandHelp(const QString& historyLog);
