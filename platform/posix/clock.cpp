// The platform clock: real by default, or a manual clock that moves only when a test says so.
#include "platform/posix/handles.h"
#include "platform/posix/platform_control.h"

#include <time.h>

namespace {
bool manualClock;            // guarded by platformLock
int64_t manualNow100ns;
}

void UseManualClock(uint32_t startSeconds)
{
    pthread_mutex_lock(&platformLock);
    manualClock = true;
    manualNow100ns = (int64_t)startSeconds * 10000000;
    pthread_mutex_unlock(&platformLock);
}

void UseRealClock(void)
{
    pthread_mutex_lock(&platformLock);
    manualClock = false;
    pthread_mutex_unlock(&platformLock);
}

bool IsManualClock(void)
{
    pthread_mutex_lock(&platformLock);
    bool manual = manualClock;
    pthread_mutex_unlock(&platformLock);
    return manual;
}

int64_t ClockNow100ns(void)
{
    pthread_mutex_lock(&platformLock);
    bool manual = manualClock;
    int64_t now = manualNow100ns;
    pthread_mutex_unlock(&platformLock);
    if (manual)
        return now;
    struct timespec real;
    clock_gettime(CLOCK_REALTIME, &real);
    return (int64_t)real.tv_sec * 10000000 + real.tv_nsec / 100;
}

uint32_t ReadClock(void)
{
    return (uint32_t)(ClockNow100ns() / 10000000);
}
