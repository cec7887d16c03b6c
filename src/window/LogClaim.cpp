#include "window/LogClaim.h"

#include "store/LogKeeper.h"
#include "window/MessageBoxes.h"
#include "window/RunningWindow.h"

using namespace Qt::Literals::StringLiterals;

bool claimTheLog(LogKeeper& log, MessageBoxes& boxes)
{
    const LogKeeper::Claim claim = log.claimForWindow(
        [](const QString& serverName) { return RunningWindow::askToComeForward(serverName); });
    if (claim != LogKeeper::Claim::HeldElsewhere)
        return claim == LogKeeper::Claim::Taken;
    QString text = u"Netroscope はすでに起動しています。"_s;
    if (!log.holderHost().isEmpty())
        text += u"\r\n使用中のコンピューター: "_s + log.holderHost();
    boxes.show(nullptr, text, u"Netroscope"_s, MessageBoxes::OkInformation);
    return false;
}
