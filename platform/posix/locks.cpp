// Slim reader/writer locks, taken exclusively only: a plain mutex.
#include "platform/win32.h"

void AcquireSRWLockExclusive(SRWLOCK* lock)
{
    pthread_mutex_lock(&lock->mutex);
}

void ReleaseSRWLockExclusive(SRWLOCK* lock)
{
    pthread_mutex_unlock(&lock->mutex);
}
