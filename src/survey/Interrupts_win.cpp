#include "survey/Interrupts.h"

#include <QMetaObject>
#include <QPointer>

#include <io.h>
#include <windows.h>

namespace {

// The console runs its control handler on a thread of its own.
QPointer<InterruptWatcher> g_watcher;

BOOL WINAPI onControl(DWORD type)
{
    const int status = type == CTRL_C_EVENT ? 130 : 143;
    SetConsoleCtrlHandler(onControl, FALSE);
    if (InterruptWatcher* watcher = g_watcher.data())
        QMetaObject::invokeMethod(
            watcher, [watcher, status] { emit watcher->interrupted(status); },
            Qt::QueuedConnection);
    return TRUE;
}

} // namespace

InterruptWatcher::InterruptWatcher(QObject* parent)
    : QObject(parent)
{
    g_watcher = this;
    SetConsoleCtrlHandler(onControl, TRUE);
}

InterruptWatcher::~InterruptWatcher()
{
    SetConsoleCtrlHandler(onControl, FALSE);
    g_watcher = nullptr;
}

bool standardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}
