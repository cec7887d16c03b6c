// The help and version items of the menu bar.
#include "window/frmNetScp.h"

#include "window/MessageBoxes.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

void frmNetScp::mnuHelp_Click()
{
    const QString helpPath = m_services.programDirectory + u"/Netroscope.hlp"_s;
    const QFileInfo help(helpPath);
    if (!help.isFile() || help.isHidden()) {
        m_services.boxes->show(this, u"ヘルプファイルがありません"_s, u"ヘルプ無し"_s,
                               MessageBoxes::OkExclamation);
        return;
    }
    // The system's own viewer for the file's type; no answer is looked at.
    QDesktopServices::openUrl(QUrl::fromLocalFile(help.absoluteFilePath()));
}

void frmNetScp::mnuVer_Click() {}
