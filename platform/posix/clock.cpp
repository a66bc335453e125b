// The platform clock: real by default, or a manual clock that moves only when a test says so.
#include "platform/posix/platform_control.h"
#include "platform/posix/sync.h"

#include <time.h>

namespace {
bool manualClock;            // guarded by platformLock
int64_t manualNow100ns;

int64_t ReadPosixClock(clockid_t clock)
{
    struct timespec now;
    clock_gettime(clock, &now);
    return (int64_t)now.tv_sec * TICKS_PER_SECOND + now.tv_nsec / 100;
}

// Every pending due time and time-out was measured on the old scheduling clock: keep its distance
// from now on the new one.
void SwitchClockLocked(bool manual, int64_t manualNow)
{
    int64_t before = ScheduleNowLocked();
    manualClock = manual;
    manualNow100ns = manualNow;
    ShiftScheduleLocked(ScheduleNowLocked() - before);
}
} // namespace

void UseManualClock(uint32_t startSeconds)
{
    pthread_mutex_lock(&platformLock);
    SwitchClockLocked(true, (int64_t)startSeconds * TICKS_PER_SECOND);
    pthread_mutex_unlock(&platformLock);
}

void UseRealClock(void)
{
    pthread_mutex_lock(&platformLock);
    SwitchClockLocked(false, manualNow100ns);
    pthread_mutex_unlock(&platformLock);
}

bool IsManualClock(void)
{
    pthread_mutex_lock(&platformLock);
    bool manual = manualClock;
    pthread_mutex_unlock(&platformLock);
    return manual;
}

bool IsManualClockLocked(void)
{
    return manualClock;
}

int64_t ClockNowLocked(void)
{
    return manualClock ? manualNow100ns : ReadPosixClock(CLOCK_REALTIME);
}

int64_t ScheduleNowLocked(void)
{
    return manualClock ? manualNow100ns : ReadPosixClock(CLOCK_MONOTONIC);
}

int64_t ClockNow100ns(void)
{
    pthread_mutex_lock(&platformLock);
    int64_t now = ClockNowLocked();
    pthread_mutex_unlock(&platformLock);
    return now;
}

void AdvanceManualClockLocked(int64_t delta100ns)
{
    manualNow100ns += delta100ns;
    WakeAllLocked();
}

void AdvanceManualClock(int64_t delta100ns)
{
    pthread_mutex_lock(&platformLock);
    AdvanceManualClockLocked(delta100ns);
    pthread_mutex_unlock(&platformLock);
}

uint32_t ReadClock(void)
{
    return (uint32_t)(ClockNow100ns() / TICKS_PER_SECOND);
}
