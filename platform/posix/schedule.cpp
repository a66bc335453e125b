// Running the manual clock: finding the next moment anything falls due, and knowing when every
// platform thread has done all it can before the clock moves on to it.
#include "platform/posix/platform_control.h"
#include "platform/posix/sync.h"

#include <time.h>

namespace {

// A stuck wait may not announce itself (another thread took the signal it was about to report), so
// WaitUntilIdle looks again at least this often.
const int64_t SETTLE_POLL_NS = 2000000;
// How long RunManualClockUntil lets the threads settle before each step of the clock.
const int SETTLE_TIMEOUT_MS = 10000;

struct timespec MonotonicAfter(int64_t nanoseconds)
{
    struct timespec time;
    clock_gettime(CLOCK_MONOTONIC, &time);
    nanoseconds += time.tv_nsec;
    time.tv_sec += (time_t)(nanoseconds / 1000000000);
    time.tv_nsec = (long)(nanoseconds % 1000000000);
    return time;
}

bool IsBefore(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

int64_t NextDueLocked(int64_t now)
{
    int64_t timerDue = NextTimerDueLocked(now);
    int64_t waitDeadline = NextWaitDeadlineLocked(now);
    return timerDue < waitDeadline ? timerDue : waitDeadline;
}

} // namespace

void ShiftScheduleLocked(int64_t shift)
{
    ShiftTimersLocked(shift);
    ShiftWaitersLocked(shift);
    WakeAllLocked();
}

bool WaitUntilIdle(int realTimeoutMs)
{
    struct timespec limit = MonotonicAfter((int64_t)realTimeoutMs * 1000000);
    pthread_mutex_lock(&platformLock);
    bool idle;
    for (;;) {
        idle = CountStuckThreadsLocked(ScheduleNowLocked()) == CountLiveThreadsLocked();
        if (idle || !IsBefore(MonotonicAfter(0), limit))
            break;
        struct timespec poll = MonotonicAfter(SETTLE_POLL_NS);
        pthread_cond_timedwait(SettleCondition(), &platformLock, IsBefore(poll, limit) ? &poll : &limit);
    }
    pthread_mutex_unlock(&platformLock);
    return idle;
}

int64_t NextDueTime100ns(void)
{
    pthread_mutex_lock(&platformLock);
    int64_t now = ScheduleNowLocked();
    int64_t next = NextDueLocked(now);
    int64_t due = next == NO_DEADLINE ? -1 : next - now + ClockNowLocked();
    pthread_mutex_unlock(&platformLock);
    return due;
}

bool RunManualClockUntil(int64_t until100ns)
{
    for (;;) {
        if (!WaitUntilIdle(SETTLE_TIMEOUT_MS))
            return false;
        pthread_mutex_lock(&platformLock);
        bool manual = IsManualClockLocked();
        int64_t now = ScheduleNowLocked();
        int64_t next = NextDueLocked(now);
        if (manual && now < until100ns)
            AdvanceManualClockLocked((next < until100ns ? next : until100ns) - now);
        pthread_mutex_unlock(&platformLock);
        if (!manual)
            return false;
        if (now >= until100ns)
            return true;
    }
}
