// What the events, timers, threads and waits of the POSIX platform share: the objects a wait can name,
// the blocked waits themselves, and the scheduling clock they are measured against.
#pragma once

#include "platform/posix/handles.h"

#include <setjmp.h>

// Scheduling time, in 100 ns units: the manual clock's own time while it is on (so that it is the time
// ReadClock shows), otherwise CLOCK_MONOTONIC, so that relative due times and time-outs do not jump
// when someone sets the wall clock. Switching the clock shifts every pending due time and time-out.
const int64_t NO_DEADLINE = INT64_MAX;
const int64_t TICKS_PER_MS = 10000;
const int64_t TICKS_PER_SECOND = 10000000;

// Call with platformLock held.
int64_t ScheduleNowLocked(void);
int64_t ClockNowLocked(void); // the platform clock (wall time since 1970), manual or real
bool IsManualClockLocked(void);
void AdvanceManualClockLocked(int64_t delta100ns);
// Moves every pending due time and time-out by `shift` when the clock they were measured on changes.
void ShiftScheduleLocked(int64_t shift);

struct EventObject {
    KernelObject base;
    bool manualReset;
    bool signalled;
};

struct TimerObject {
    KernelObject base;
    bool manualReset;
    bool armed;                   // a due time is pending
    bool signalled;
    int64_t due;                  // scheduling time
    int64_t period;               // ticks; 0 fires once
    TimerObject* previous;        // every timer, so that the clock can find the next due time
    TimerObject* next;
};

struct ThreadObject {
    KernelObject base;
    unsigned(WINAPI* start)(void*);
    void* argument;
    DWORD id;
    bool ended;                   // guarded by platformLock, like exitCode
    DWORD exitCode;
    // FreeLibraryAndExitThread leaves through here, so that no frame of the library being released
    // is still on the stack when it is released. Touched by the thread itself only.
    jmp_buf exitJump;
    DWORD jumpExitCode;
    HMODULE jumpModule;
};

// One thread blocked in a wait or in Sleep; lives on that thread's stack while it is registered.
struct Waiter {
    Waiter* previous;
    Waiter* next;
    KernelObject* const* objects;
    DWORD count;
    bool waitAll;
    int64_t deadline;             // scheduling time, NO_DEADLINE for none
    bool platformThread;          // started by _beginthreadex
};

// Woken on every change that a blocked wait may be looking for.
pthread_cond_t* WakeCondition(void);
// Woken whenever a platform thread blocks or ends, for WaitUntilIdle.
pthread_cond_t* SettleCondition(void);
void WakeAllLocked(void);

// Drops a reference that is not a handle (a wait's, a thread's own); the last one destroys the object.
// Call without platformLock: destroying takes it.
void ReleaseObject(KernelObject* object);

void RefreshTimerLocked(TimerObject* timer, int64_t now);
// The earliest due time after `now` of any armed timer, or NO_DEADLINE.
int64_t NextTimerDueLocked(int64_t now);
void ShiftTimersLocked(int64_t shift);

// The earliest time-out after `now` of any blocked wait, or NO_DEADLINE.
int64_t NextWaitDeadlineLocked(int64_t now);
void ShiftWaitersLocked(int64_t shift);
// Platform threads blocked in a wait that cannot complete at `now`.
int CountStuckThreadsLocked(int64_t now);

// The platform thread running this code, or null on any other thread.
ThreadObject* CurrentPlatformThread(void);
int CountLiveThreadsLocked(void);
