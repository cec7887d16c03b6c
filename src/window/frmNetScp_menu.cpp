// The help and version items of the menu bar.
#include "window/frmNetScp.h"

#include "auxwin/AboutText.h"
#include "auxwin/HelpFile.h"
#include "auxwin/TaskLaunch.h"
#include "auxwin/frmVersion.h"
#include "window/MessageBoxes.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

void frmNetScp::mnuHelp_Click()
{
    QStringList htmlDirs;
    for (const QString& dir : m_services.helpDirectories)
        htmlDirs.append(QDir::toNativeSeparators(dir));
    const QString help = findHelpFile(QDir::toNativeSeparators(m_services.programDirectory),
                                      htmlDirs, QDir::separator());
    if (help.isEmpty()) {
        m_services.boxes->show(this, u"ヘルプファイルがありません"_s, u"ヘルプ無し"_s,
                               MessageBoxes::OkExclamation);
        return;
    }
    // The system's own viewer for the file's type; whether one came up is not looked at.
    TskKidou(*m_services.launcher, help, QDir::toNativeSeparators(m_services.programDirectory),
             QDir::separator());
}

void frmNetScp::mnuVer_Click()
{
    frmVersion about(*m_services.launcher, configuredAboutTexts(), this);
    about.exec();
}
