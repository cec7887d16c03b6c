#include "window/LogClaim.h"

#include "store/LogLock.h"
#include "window/MessageBoxes.h"
#include "window/RunningWindow.h"

using namespace Qt::Literals::StringLiterals;

bool claimTheLog(LogLock& lock, MessageBoxes& boxes)
{
    // Where no lock can be made, nothing can be shared either: the window runs as before.
    if (lock.tryLock() || lock.refused())
        return true;
    if (RunningWindow::askToComeForward(lock.serverName()))
        return false;
    // The command line holds the lock only while it writes; a window would have answered,
    // unless it runs on another computer that shares the folder, or as another user.
    if (lock.tryLock(1000) || lock.refused())
        return true;
    QString text = u"Netroscope はすでに起動しています。"_s;
    if (!lock.holderHost().isEmpty())
        text += u"\r\n使用中のコンピューター: "_s + lock.holderHost();
    boxes.show(nullptr, text, u"Netroscope"_s, MessageBoxes::OkInformation);
    return false;
}
