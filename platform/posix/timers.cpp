// Waitable timers. A timer is checked against the clock whenever someone looks at it (a wait, the
// clock's schedule, a test's inspection), so that the manual clock needs no thread of its own.
#include "platform/posix/platform_control.h"
#include "platform/posix/sync.h"

#include <new>

namespace {

// 100 ns units from 1601-01-01, where absolute due times count from, to 1970-01-01.
const int64_t TICKS_1601_TO_1970 = 116444736000000000;

TimerObject* firstTimer; // guarded by platformLock

void DestroyTimer(KernelObject* object)
{
    TimerObject* timer = (TimerObject*)object;
    pthread_mutex_lock(&platformLock);
    if (timer->previous != nullptr)
        timer->previous->next = timer->next;
    else
        firstTimer = timer->next;
    if (timer->next != nullptr)
        timer->next->previous = timer->previous;
    pthread_mutex_unlock(&platformLock);
    delete timer;
}

// Negative: relative to now. Otherwise absolute, on the wall clock, so 0 and any past time make the
// timer due at once.
int64_t ScheduleDueTimeLocked(int64_t dueTime, int64_t now)
{
    int64_t due;
    if (dueTime < 0) {
        if (__builtin_sub_overflow(now, dueTime, &due))
            due = NO_DEADLINE;
        return due;
    }
    return now + (dueTime - TICKS_1601_TO_1970 - ClockNowLocked());
}

} // namespace

void RefreshTimerLocked(TimerObject* timer, int64_t now)
{
    if (!timer->armed || timer->due > now)
        return;
    timer->signalled = true;
    if (timer->period > 0)
        timer->due += ((now - timer->due) / timer->period + 1) * timer->period; // missed periods fire once
    else
        timer->armed = false;
}

int64_t NextTimerDueLocked(int64_t now)
{
    int64_t next = NO_DEADLINE;
    for (TimerObject* timer = firstTimer; timer != nullptr; timer = timer->next) {
        RefreshTimerLocked(timer, now);
        if (timer->armed && timer->due < next)
            next = timer->due;
    }
    return next;
}

void ShiftTimersLocked(int64_t shift)
{
    for (TimerObject* timer = firstTimer; timer != nullptr; timer = timer->next) {
        if (timer->armed && timer->due != NO_DEADLINE)
            timer->due += shift;
    }
}

// Named timers are never shared across processes here, so a name is accepted and ignored.
HANDLE CreateWaitableTimerA(LPSECURITY_ATTRIBUTES, BOOL manualReset, LPCSTR)
{
    if (TakeFault(FAULT_CREATE_TIMER))
        return nullptr;
    TimerObject* timer = new (std::nothrow) TimerObject{{OBJECT_TIMER, 0, DestroyTimer}, manualReset != FALSE};
    if (timer == nullptr)
        return nullptr;
    pthread_mutex_lock(&platformLock);
    timer->next = firstTimer;
    if (firstTimer != nullptr)
        firstTimer->previous = timer;
    firstTimer = timer;
    pthread_mutex_unlock(&platformLock);
    HANDLE handle = OpenHandle(&timer->base);
    if (handle == nullptr)
        DestroyTimer(&timer->base);
    return handle;
}

// No completion routine: nothing here runs asynchronous procedure calls, so one is refused rather
// than silently never called.
BOOL SetWaitableTimer(HANDLE handle, const LARGE_INTEGER* dueTime, LONG period, PTIMERAPCROUTINE completion,
                      LPVOID, BOOL)
{
    if (dueTime == nullptr || period < 0 || completion != nullptr)
        return FALSE;
    pthread_mutex_lock(&platformLock);
    TimerObject* timer = (TimerObject*)LookUpHandle(handle, OBJECT_TIMER);
    bool armed = timer != nullptr && !TakeFault(FAULT_SET_TIMER);
    if (armed) {
        int64_t now = ScheduleNowLocked();
        timer->armed = true;
        timer->signalled = false;
        timer->due = ScheduleDueTimeLocked(dueTime->QuadPart, now);
        timer->period = (int64_t)period * TICKS_PER_MS;
        RefreshTimerLocked(timer, now);
        WakeAllLocked();
    }
    pthread_mutex_unlock(&platformLock);
    return armed;
}

// A due time that has already passed has signalled the timer; cancelling keeps that state.
BOOL CancelWaitableTimer(HANDLE handle)
{
    pthread_mutex_lock(&platformLock);
    TimerObject* timer = (TimerObject*)LookUpHandle(handle, OBJECT_TIMER);
    if (timer != nullptr) {
        RefreshTimerLocked(timer, ScheduleNowLocked());
        timer->armed = false;
    }
    pthread_mutex_unlock(&platformLock);
    return timer != nullptr;
}

bool GetTimerState(HANDLE handle, bool* armed, bool* signalled, int64_t* due100ns)
{
    pthread_mutex_lock(&platformLock);
    TimerObject* timer = (TimerObject*)LookUpHandle(handle, OBJECT_TIMER);
    if (timer != nullptr) {
        int64_t now = ScheduleNowLocked();
        RefreshTimerLocked(timer, now);
        *armed = timer->armed;
        *signalled = timer->signalled;
        *due100ns = timer->armed ? timer->due - now + ClockNowLocked() : 0;
    }
    pthread_mutex_unlock(&platformLock);
    return timer != nullptr;
}
