// What the platform's own tests share: the manual clock at a fixed start, timer arming and
// inspection, and waits run on platform threads.
#pragma once

#include "platform/posix/platform_control.h"

#include <gtest/gtest.h>

const uint32_t START_SECONDS = 1700000000; // 2023-11-14 22:13:20 UTC
const int64_t SECOND = 10000000;            // in 100 ns units
const int64_t MILLISECOND = 10000;
// Real time allowed for the threads to settle: only a broken platform ever waits this long.
const int IDLE_TIMEOUT_MS = 10000;

inline int64_t StartTime(void) { return (int64_t)START_SECONDS * SECOND; }

// SetWaitableTimer's due time: negative is relative, in 100 ns units.
bool ArmTimer(HANDLE timer, int64_t dueTime, LONG period = 0);

struct TimerView {
    bool armed;
    bool signalled;
    int64_t due;
};
TimerView ReadTimer(HANDLE timer);

DWORD ReadExitCode(HANDLE thread);

const int MAX_JOB_OBJECTS = 4;

// One WaitForMultipleObjectsEx (wait for any), or a Sleep when there are no objects, on a thread of
// its own; the thread's exit code is the wait's result.
struct WaitJob {
    HANDLE objects[MAX_JOB_OBJECTS];
    DWORD count;
    DWORD milliseconds;
    int64_t returnedAt;       // the platform clock when the wait returned
};
HANDLE StartWaitJob(WaitJob* job);

// Every test starts on the manual clock at START_SECONDS with no faults, and must leave no thread.
class ManualClockTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    int threadsBefore = 0;
};
