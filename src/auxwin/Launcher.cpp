#include "auxwin/Launcher.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QUrl>

bool DesktopLauncher::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

bool DesktopLauncher::openDocument(const QString& file, const QString& workingDirectory)
{
    // The desktop's opener runs in a directory of its own choosing, so the file goes
    // to it as an absolute path.
    const QString path = QDir(workingDirectory).absoluteFilePath(file);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopLauncher::startProgram(const QString& program, const QString& arguments)
{
    QProcess process;
    process.setProgram(program);
#ifdef Q_OS_WIN
    // Windows hands a program its command line as one text; it is passed on as typed.
    process.setNativeArguments(arguments);
#else
    process.setArguments(QProcess::splitCommand(arguments));
#endif
    return process.startDetached();
}
