#include "tests/support/platform_fixture.h"

namespace {

unsigned WINAPI RunWaitJob(void* argument)
{
    WaitJob* job = (WaitJob*)argument;
    DWORD result = 0;
    if (job->count == 0)
        Sleep(job->milliseconds);
    else
        result = WaitForMultipleObjectsEx(job->count, job->objects, FALSE, job->milliseconds, FALSE);
    job->returnedAt = ClockNow100ns();
    return result;
}

} // namespace

bool ArmTimer(HANDLE timer, int64_t dueTime, LONG period)
{
    LARGE_INTEGER due;
    due.QuadPart = dueTime;
    return SetWaitableTimer(timer, &due, period, nullptr, nullptr, FALSE) != FALSE;
}

TimerView ReadTimer(HANDLE timer)
{
    TimerView view = {};
    EXPECT_TRUE(GetTimerState(timer, &view.armed, &view.signalled, &view.due));
    return view;
}

DWORD ReadExitCode(HANDLE thread)
{
    DWORD code = 0xBADC0DE;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    return code;
}

HANDLE StartWaitJob(WaitJob* job)
{
    job->returnedAt = -1;
    HANDLE thread = (HANDLE)_beginthreadex(nullptr, 0, RunWaitJob, job, 0, nullptr);
    EXPECT_NE(nullptr, thread);
    return thread;
}

void ManualClockTest::SetUp()
{
    ClearFaults();
    UseManualClock(START_SECONDS);
    threadsBefore = CountPlatformThreads();
}

void ManualClockTest::TearDown()
{
    EXPECT_EQ(threadsBefore, CountPlatformThreads());
    UseRealClock();
    ClearFaults();
}
