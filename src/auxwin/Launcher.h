#pragma once

#include <QString>

class QUrl;

// Hands web addresses, documents and programs to the desktop and does not wait for
// them. The main window owns one; tests put a recording one in its place.
class Launcher {
public:
    virtual ~Launcher() = default;
    // The user's browser. False when nothing could be started.
    virtual bool openUrl(const QUrl& url) = 0;
    // The program the desktop associates with the file's type; a relative file name
    // is taken from the working directory. False when nothing could be started.
    virtual bool openDocument(const QString& file, const QString& workingDirectory) = 0;
    // A program with the rest of its command line. False when it did not start.
    virtual bool startProgram(const QString& program, const QString& arguments) = 0;
};

// The desktop's own openers.
class DesktopLauncher : public Launcher {
public:
    bool openUrl(const QUrl& url) override;
    bool openDocument(const QString& file, const QString& workingDirectory) override;
    bool startProgram(const QString& program, const QString& arguments) override;
};
