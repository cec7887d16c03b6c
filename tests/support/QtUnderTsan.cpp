// Linked into every test only in the ThreadSanitizer build (NETROSCOPE_TSAN).
//
// Qt is not built with ThreadSanitizer, so TSan sees neither Qt's own locks nor the
// order in which Qt hands work from one thread to another: without help, every task
// started on a pool and every queued call looks like a race with the thread that
// set it up. The definitions below take the place of the few Qt functions through
// which our code hands work over or waits (a program's own symbols come before a
// library's), tell TSan the ordering each of them guarantees, and then call Qt's own.
// Each annotation states exactly what Qt promises and nothing more, so a race in our
// own code still shows.
#include <QFutureInterface>
#include <QMetaObject>
#include <QMutex>
#include <QRunnable>
#include <QThreadPool>
#include <QWaitCondition>

#include <sanitizer/tsan_interface.h>

#include <dlfcn.h>
#include <sched.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>

namespace {

// The definition the one below would have been without us.
template <typename Fn> Fn nextDefinition(const char* symbol, const char* version = "Qt_6")
{
    void* fn = version ? dlvsym(RTLD_NEXT, symbol, version) : dlsym(RTLD_NEXT, symbol);
    if (!fn) {
        std::fprintf(stderr, "QtUnderTsan: %s not found\n", symbol);
        std::abort();
    }
    return reinterpret_cast<Fn>(fn);
}

// What a thread did before it started a task happens before the task runs.
class HandedOverTask : public QRunnable {
public:
    explicit HandedOverTask(QRunnable* task)
        : m_task(task)
    {
        setAutoDelete(true);
    }
    ~HandedOverTask() override
    {
        // Dropped by QThreadPool::clear() before it ran: the task goes as it would have.
        if (m_task && m_task->autoDelete())
            delete m_task;
    }
    void run() override
    {
        __tsan_acquire(this);
        QRunnable* task = std::exchange(m_task, nullptr);
        const bool autoDelete = task->autoDelete();
        task->run();
        if (autoDelete)
            delete task;
    }
    QRunnable* takeBack() { return std::exchange(m_task, nullptr); }

private:
    QRunnable* m_task;
};

HandedOverTask* handOver(QRunnable* task)
{
    auto* wrapped = new HandedOverTask(task);
    __tsan_release(wrapped);
    return wrapped;
}

// What a thread did before it queued a call happens before the call runs.
class HandedOverSlot : public QtPrivate::QSlotObjectBase {
public:
    explicit HandedOverSlot(QtPrivate::QSlotObjectBase* slot)
        : QSlotObjectBase(&impl)
        , m_slot(slot)
    {}

private:
    static void impl(int which, QSlotObjectBase* self, QObject* receiver, void** args, bool* ret)
    {
        auto* me = static_cast<HandedOverSlot*>(self);
        switch (which) {
        case Destroy:
            // Qt counts the references out of sight; whoever drops the last one
            // comes after the call.
            __tsan_acquire(me);
            me->m_slot->destroyIfLastRef();
            delete me;
            break;
        case Call:
            __tsan_acquire(me);
            me->m_slot->call(receiver, args);
            __tsan_release(me);
            break;
        case Compare:
            *ret = false;
            break;
        }
    }
    QtPrivate::QSlotObjectBase* m_slot;
};

} // namespace

void QThreadPool::start(QRunnable* runnable, int priority)
{
    static const auto own = nextDefinition<void (*)(QThreadPool*, QRunnable*, int)>(
        "_ZN11QThreadPool5startEP9QRunnablei");
    own(this, runnable ? handOver(runnable) : nullptr, priority);
}

bool QThreadPool::tryStart(QRunnable* runnable)
{
    static const auto own =
        nextDefinition<bool (*)(QThreadPool*, QRunnable*)>("_ZN11QThreadPool8tryStartEP9QRunnable");
    if (!runnable)
        return own(this, runnable);
    HandedOverTask* wrapped = handOver(runnable);
    if (own(this, wrapped))
        return true;
    // Not taken: the caller keeps its task.
    wrapped->takeBack();
    delete wrapped;
    return false;
}

// Wrapped as Qt itself would, so that the copy Qt makes of the function is done
// before the hand-over too.
void QThreadPool::start(std::function<void()> functionToRun, int priority)
{
    if (functionToRun)
        start(QRunnable::create(std::move(functionToRun)), priority);
}

bool QThreadPool::tryStart(std::function<void()> functionToRun)
{
    if (!functionToRun)
        return false;
    QRunnable* task = QRunnable::create(std::move(functionToRun));
    if (tryStart(task))
        return true;
    delete task;
    return false;
}

bool QMetaObject::invokeMethodImpl(QObject* object, QtPrivate::QSlotObjectBase* slot,
                                   Qt::ConnectionType type, void* ret)
{
    static const auto own =
        nextDefinition<bool (*)(QObject*, QtPrivate::QSlotObjectBase*, Qt::ConnectionType, void*)>(
            "_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14"
            "ConnectionTypeEPv");
    if (!slot)
        return own(object, slot, type, ret);
    auto* wrapped = new HandedOverSlot(slot);
    __tsan_release(wrapped);
    return own(object, wrapped, type, ret);
}

// The last QFutureInterface<T> to let go of a shared state clears its results, by
// the count Qt keeps out of sight: a count that every holder's release and the last
// one's clear are ordered by, as for a shared_ptr.
bool QFutureInterfaceBase::derefT() const noexcept
{
    static const auto own = nextDefinition<bool (*)(const QFutureInterfaceBase*)>(
        "_ZNK20QFutureInterfaceBase6derefTEv");
    const void* state = &resultStoreBase();
    __tsan_release(const_cast<void*>(state));
    const bool referenced = own(this);
    __tsan_acquire(const_cast<void*>(state));
    return referenced;
}

// Qt's headers tell TSan of every lock and unlock of a QMutex made in our code; a
// wait unlocks and relocks it inside Qt, where nobody does.
namespace {
template <typename Wait> bool waitUnlocked(QMutex* mutex, Wait wait)
{
    if (!mutex)
        return wait();
    __tsan_mutex_pre_unlock(mutex, 0);
    __tsan_mutex_post_unlock(mutex, 0);
    const bool woken = wait();
    __tsan_mutex_pre_lock(mutex, 0);
    __tsan_mutex_post_lock(mutex, 0, 0);
    return woken;
}
} // namespace

bool QWaitCondition::wait(QMutex* lockedMutex, QDeadlineTimer deadline)
{
    static const auto own = nextDefinition<bool (*)(QWaitCondition*, QMutex*, QDeadlineTimer)>(
        "_ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer");
    return waitUnlocked(lockedMutex, [&] { return own(this, lockedMutex, deadline); });
}

bool QWaitCondition::wait(QMutex* lockedMutex, unsigned long time)
{
    static const auto own = nextDefinition<bool (*)(QWaitCondition*, QMutex*, unsigned long)>(
        "_ZN14QWaitCondition4waitEP6QMutexm");
    return waitUnlocked(lockedMutex, [&] { return own(this, lockedMutex, time); });
}

// QProcess starts its child with clone(CLONE_VM | CLONE_VFORK): the child runs in our
// memory, on the starting thread's stack and thread state, until it execs. TSan's
// clone interceptor takes that for a fork and, in the "child", switches the shared
// state over to after-fork mode: the starting thread stops being checked for good and
// the next new thread aborts the program. A child that shares our memory is no fork;
// such clones go straight to the C library.
extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...)
{
    va_list rest;
    va_start(rest, arg);
    auto* parentTid = va_arg(rest, pid_t*);
    void* tls = va_arg(rest, void*);
    auto* childTid = va_arg(rest, pid_t*);
    va_end(rest);
    using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
    static const auto libc =
        reinterpret_cast<Clone>(dlsym(dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD), "clone"));
    static const auto intercepted = nextDefinition<Clone>("clone", nullptr);
    return ((flags & CLONE_VM) ? libc : intercepted)(fn, stack, flags, arg, parentTid, tls,
                                                     childTid);
}
