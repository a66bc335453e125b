// WaitForSingleObject, WaitForMultipleObjectsEx and Sleep: every blocked wait sleeps on one condition
// variable and looks again at its objects, its time-out and the clock whenever anything changes.
#include "platform/posix/platform_control.h"
#include "platform/posix/sync.h"

#include <sched.h>

namespace {

const DWORD MAX_WAIT_OBJECTS = 64; // MAXIMUM_WAIT_OBJECTS

pthread_once_t conditionsMade = PTHREAD_ONCE_INIT;
pthread_cond_t wakeCondition;
pthread_cond_t settleCondition;
Waiter* firstWaiter; // guarded by platformLock

// Real-clock waits are measured on CLOCK_MONOTONIC, and so are their condition variables.
void MakeConditions(void)
{
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&wakeCondition, &attributes);
    pthread_cond_init(&settleCondition, &attributes);
    pthread_condattr_destroy(&attributes);
}

bool IsWaitable(const KernelObject* object)
{
    return object->kind == OBJECT_EVENT || object->kind == OBJECT_TIMER || object->kind == OBJECT_THREAD;
}

bool IsSignalledLocked(KernelObject* object, int64_t now)
{
    switch (object->kind) {
    case OBJECT_EVENT: return ((EventObject*)object)->signalled;
    case OBJECT_TIMER: {
        TimerObject* timer = (TimerObject*)object;
        RefreshTimerLocked(timer, now);
        return timer->signalled;
    }
    case OBJECT_THREAD: return ((ThreadObject*)object)->ended;
    default: return false;
    }
}

// The wait that reports an auto-reset object takes its signal; nobody else sees it.
void ConsumeLocked(KernelObject* object)
{
    if (object->kind == OBJECT_EVENT && !((EventObject*)object)->manualReset)
        ((EventObject*)object)->signalled = false;
    else if (object->kind == OBJECT_TIMER && !((TimerObject*)object)->manualReset)
        ((TimerObject*)object)->signalled = false;
}

// The index the wait reports now, or -1 while it has to go on waiting.
int FindReadyLocked(const Waiter* waiter, int64_t now)
{
    for (DWORD i = 0; i < waiter->count; ++i) {
        bool signalled = IsSignalledLocked(waiter->objects[i], now);
        if (waiter->waitAll && !signalled)
            return -1;
        if (!waiter->waitAll && signalled)
            return (int)i;
    }
    return waiter->waitAll && waiter->count > 0 ? 0 : -1;
}

bool CanCompleteLocked(const Waiter* waiter, int64_t now)
{
    return waiter->deadline <= now || FindReadyLocked(waiter, now) >= 0;
}

void RegisterLocked(Waiter* waiter)
{
    waiter->next = firstWaiter;
    if (firstWaiter != nullptr)
        firstWaiter->previous = waiter;
    firstWaiter = waiter;
    pthread_cond_broadcast(SettleCondition());
}

void UnregisterLocked(Waiter* waiter)
{
    if (waiter->previous != nullptr)
        waiter->previous->next = waiter->next;
    else
        firstWaiter = waiter->next;
    if (waiter->next != nullptr)
        waiter->next->previous = waiter->previous;
}

// The manual clock wakes its waits itself when it moves; the real one needs a time-out for the
// earliest moment at which something the wait looks at can fall due.
void BlockLocked(const Waiter* waiter)
{
    int64_t wake = waiter->deadline;
    for (DWORD i = 0; i < waiter->count; ++i) {
        if (waiter->objects[i]->kind != OBJECT_TIMER)
            continue;
        const TimerObject* timer = (const TimerObject*)waiter->objects[i];
        if (timer->armed && timer->due < wake)
            wake = timer->due;
    }
    if (IsManualClockLocked() || wake == NO_DEADLINE) {
        pthread_cond_wait(WakeCondition(), &platformLock);
        return;
    }
    struct timespec until = {(time_t)(wake / TICKS_PER_SECOND), (long)(wake % TICKS_PER_SECOND) * 100};
    pthread_cond_timedwait(WakeCondition(), &platformLock, &until);
}

DWORD WaitLocked(KernelObject* const* objects, DWORD count, bool waitAll, DWORD milliseconds)
{
    int64_t now = ScheduleNowLocked();
    Waiter waiter = {nullptr, nullptr, objects, count, waitAll,
                     milliseconds == INFINITE ? NO_DEADLINE : now + milliseconds * TICKS_PER_MS,
                     CurrentPlatformThread() != nullptr};
    bool registered = false;
    DWORD result;
    for (;;) {
        int ready = FindReadyLocked(&waiter, now);
        if (ready >= 0) {
            for (DWORD i = 0; i < count; ++i) {
                if (waitAll || (int)i == ready)
                    ConsumeLocked(objects[i]);
            }
            result = WAIT_OBJECT_0 + (DWORD)ready;
            break;
        }
        if (waiter.deadline <= now) {
            result = WAIT_TIMEOUT;
            break;
        }
        if (!registered) {
            RegisterLocked(&waiter);
            registered = true;
        }
        BlockLocked(&waiter);
        now = ScheduleNowLocked();
    }
    if (registered)
        UnregisterLocked(&waiter);
    return result;
}

} // namespace

pthread_cond_t* WakeCondition(void)
{
    pthread_once(&conditionsMade, MakeConditions);
    return &wakeCondition;
}

pthread_cond_t* SettleCondition(void)
{
    pthread_once(&conditionsMade, MakeConditions);
    return &settleCondition;
}

void WakeAllLocked(void)
{
    pthread_cond_broadcast(WakeCondition());
}

void ReleaseObject(KernelObject* object)
{
    pthread_mutex_lock(&platformLock);
    bool last = --object->references == 0;
    pthread_mutex_unlock(&platformLock);
    if (last && object->destroy != nullptr)
        object->destroy(object);
}

int64_t NextWaitDeadlineLocked(int64_t now)
{
    int64_t next = NO_DEADLINE;
    for (Waiter* waiter = firstWaiter; waiter != nullptr; waiter = waiter->next) {
        if (waiter->deadline > now && waiter->deadline < next)
            next = waiter->deadline;
    }
    return next;
}

void ShiftWaitersLocked(int64_t shift)
{
    for (Waiter* waiter = firstWaiter; waiter != nullptr; waiter = waiter->next) {
        if (waiter->deadline != NO_DEADLINE)
            waiter->deadline += shift;
    }
}

int CountStuckThreadsLocked(int64_t now)
{
    int stuck = 0;
    for (Waiter* waiter = firstWaiter; waiter != nullptr; waiter = waiter->next) {
        if (waiter->platformThread && !CanCompleteLocked(waiter, now))
            stuck++;
    }
    return stuck;
}

// Any invalid handle fails the whole wait at once, before anything is consumed. The wait holds a
// reference to each object, so that a handle closed meanwhile cannot free what it sleeps on.
DWORD WaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds, BOOL)
{
    if (count == 0 || count > MAX_WAIT_OBJECTS || handles == nullptr)
        return WAIT_FAILED;
    KernelObject* objects[MAX_WAIT_OBJECTS];
    pthread_mutex_lock(&platformLock);
    for (DWORD i = 0; i < count; ++i) {
        objects[i] = LookUpHandle(handles[i], (ObjectKind)0);
        if (objects[i] == nullptr || !IsWaitable(objects[i])) {
            pthread_mutex_unlock(&platformLock);
            return WAIT_FAILED;
        }
    }
    for (DWORD i = 0; i < count; ++i)
        objects[i]->references++;
    DWORD result = WaitLocked(objects, count, waitAll != FALSE, milliseconds);
    KernelObject* unreferenced[MAX_WAIT_OBJECTS];
    int unreferencedCount = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (--objects[i]->references == 0)
            unreferenced[unreferencedCount++] = objects[i];
    }
    pthread_mutex_unlock(&platformLock);
    for (int i = 0; i < unreferencedCount; ++i) {
        if (unreferenced[i]->destroy != nullptr)
            unreferenced[i]->destroy(unreferenced[i]);
    }
    return result;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    return WaitForMultipleObjectsEx(1, &object, FALSE, milliseconds, FALSE);
}

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    pthread_mutex_lock(&platformLock);
    WaitLocked(nullptr, 0, false, milliseconds);
    pthread_mutex_unlock(&platformLock);
}
