#include "capture/capture_lock.h"

#include "platform/win32.h"

namespace {
SRWLOCK captureLock = SRWLOCK_INIT; // needs no initialisation call: nothing runs at load
}

void LockCapture(void)
{
    AcquireSRWLockExclusive(&captureLock);
}

void UnlockCapture(void)
{
    ReleaseSRWLockExclusive(&captureLock);
}
