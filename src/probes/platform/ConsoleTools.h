#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// A program and its arguments, started directly: no command interpreter ever sees
// an address text, so no address text can become a second command.
struct CommandLine {
    QString program;
    QStringList arguments;
};

// Where the ARP table is listed from: the output of a command, a file the system
// keeps (when `file` is set, no command runs), or no text at all: the neighbour
// table as LanAccess reads it.
struct ArpSource {
    CommandLine command;
    QString file;
    bool neighbourTable = false;
};

// What an ARP listing says about one address. `malformed` is a row that names the
// address but holds no readable physical address: the probe reports it as an error.
struct ArpMatch {
    QString mac;
    bool malformed = false;
};

// The console tools a platform offers: which the program needs, their command lines,
// and how their output is decoded and read. The parsers are pure (output text in,
// answer out), so that recorded outputs of every platform can be tested anywhere.
class ConsoleTools {
public:
    virtual ~ConsoleTools() = default;

    // What PingDllChk requires, each given to findTool().
    virtual QStringList requiredTools() const = 0;
    // The full path of a tool or library, empty when it cannot be found.
    virtual QString findTool(const QString& name) const = 0;

    virtual CommandLine pingCommand(const QString& ip) const = 0;
    virtual ArpSource arpSource() const = 0;
    virtual CommandLine adapterListCommand() const = 0;
    virtual QString decodeOutput(QByteArrayView bytes) const = 0;

    // The ping output holds a reply from `ip`.
    virtual bool pingAnswered(const QString& output, const QString& ip) const = 0;
    virtual ArpMatch arpMac(const QString& output, const QString& ip) const = 0;
    // The first adapter address of the adapter listing, empty when none.
    virtual QString adapterListMac(const QString& output) const = 0;
};
