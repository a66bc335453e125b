// What tests and the simulator use to steer the POSIX platform: the manual clock and the faults.
// The plug-in itself never includes this header.
#pragma once

#include "platform/win32.h"

// Calls that a test can make fail, to prove the plug-in's failure paths.
enum PlatformFault {
    FAULT_CREATE_FILE,           // CreateFileA gives INVALID_HANDLE_VALUE
    FAULT_SHORT_WRITE,           // WriteFile writes half of what it is given and reports success
    FAULT_DELETE_FILE,           // DeleteFileA fails and deletes nothing
    FAULT_THREAD_START,          // _beginthreadex gives 0
    FAULT_CREATE_EVENT,          // CreateEventA gives null
    FAULT_CREATE_TIMER,          // CreateWaitableTimerA gives null
    FAULT_SET_TIMER,             // SetWaitableTimer fails and arms nothing
    FAULT_WRITE_PROFILE,         // WritePrivateProfileStringA fails and writes nothing
    FAULT_COUNT
};

// The next `count` calls of the faulted function fail; 0 clears the fault.
void SetFault(PlatformFault fault, int count);
void ClearFaults(void);
// Used by the platform's functions: true when this call is to fail (and counts it).
bool TakeFault(PlatformFault fault);

// The manual clock: once on, ReadClock, timers, wait time-outs and Sleep follow it alone.
// Time is kept in 100 ns units since 1970-01-01 00:00 UTC.
void UseManualClock(uint32_t startSeconds);
void UseRealClock(void);
bool IsManualClock(void);
int64_t ClockNow100ns(void); // the platform's current time, manual or real

// Running the manual clock. Times are on the platform clock (ClockNow100ns).
// Moves the manual clock on and wakes whatever fell due.
void AdvanceManualClock(int64_t delta100ns);
// True once every live thread started by _beginthreadex is blocked in a wait or Sleep that cannot
// complete at the current time; false when that has not happened within the real time-out.
bool WaitUntilIdle(int realTimeoutMs);
// The earliest pending timer due time, wait time-out or end of a Sleep; -1 when there is none.
int64_t NextDueTime100ns(void);
// Lets the threads settle, moves the manual clock to the next due time (never past `until100ns`),
// and again, until the clock stands at `until100ns` with every platform thread settled. False when
// the threads did not settle (a test failure, never a hang) or the manual clock is not on.
bool RunManualClockUntil(int64_t until100ns);

// Inspection for tests.
// A timer's state as a wait would see it now; `due100ns` is 0 when no due time is pending.
bool GetTimerState(HANDLE timer, bool* armed, bool* signalled, int64_t* due100ns);
// Threads started by _beginthreadex that have not ended.
int CountPlatformThreads(void);
