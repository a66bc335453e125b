// Threads of the POSIX platform, running the manual clock over them, fault injection and the lock.
#include "tests/support/platform_fixture.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>

namespace {

class PlatformThreads : public ManualClockTest {};

// Records its thread id, waits for `go`, and ends with `exitCode`.
struct GateJob {
    HANDLE go;
    DWORD exitCode;
    DWORD seenId;
};

unsigned WINAPI RunGateJob(void* argument)
{
    GateJob* job = (GateJob*)argument;
    job->seenId = GetCurrentThreadId();
    WaitForSingleObject(job->go, INFINITE);
    return job->exitCode;
}

TEST_F(PlatformThreads, StillActiveWhileRunningThenTheExitCodeAndASignalledHandle)
{
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    GateJob job = {go, 1234, 0};
    unsigned id = 0;
    HANDLE thread = (HANDLE)_beginthreadex(nullptr, 0, RunGateJob, &job, 0, &id);
    ASSERT_NE(nullptr, thread);
    EXPECT_NE(0u, id);
    EXPECT_EQ(threadsBefore + 1, CountPlatformThreads());
    EXPECT_EQ(STILL_ACTIVE, ReadExitCode(thread));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 0));

    SetEvent(go);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_EQ(1234u, ReadExitCode(thread));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0)); // an ended thread stays signalled
    EXPECT_EQ(threadsBefore, CountPlatformThreads());
    EXPECT_EQ(id, job.seenId);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
    CloseHandle(thread);
    CloseHandle(go);
}

TEST_F(PlatformThreads, ClosingTheHandleLeavesTheThreadRunning)
{
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    GateJob job = {go, 7, 0};
    HANDLE thread = (HANDLE)_beginthreadex(nullptr, 0, RunGateJob, &job, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(thread, 0));
    ASSERT_TRUE(WaitUntilIdle(IDLE_TIMEOUT_MS)); // blocked on `go`, still counted
    EXPECT_EQ(threadsBefore + 1, CountPlatformThreads());
    SetEvent(go);
    ASSERT_TRUE(WaitUntilIdle(IDLE_TIMEOUT_MS)); // only true again once it has ended
    EXPECT_EQ(threadsBefore, CountPlatformThreads());
    CloseHandle(go);
}

TEST_F(PlatformThreads, ExitCodeOfSomethingElseIsRefused)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD code = 5;
    EXPECT_FALSE(GetExitCodeThread(event, &code));
    EXPECT_FALSE(GetExitCodeThread(nullptr, &code));
    EXPECT_EQ(5u, code);
    CloseHandle(event);
}

struct ExitJob {
    BOOL tookModule;
    HMODULE module;
};

// A frame below the thread procedure, which the exit must leave behind as well.
[[noreturn]] __attribute__((noinline)) void LeaveFromInside(ExitJob* job)
{
    job->tookModule = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)&LeaveFromInside,
                                         &job->module);
    FreeLibraryAndExitThread(job->module, 77);
}

unsigned WINAPI RunExitJob(void* argument)
{
    LeaveFromInside((ExitJob*)argument);
}

TEST_F(PlatformThreads, FreeLibraryAndExitThreadEndsTheThreadWithItsCode)
{
    ExitJob job = {FALSE, nullptr};
    HANDLE thread = (HANDLE)_beginthreadex(nullptr, 0, RunExitJob, &job, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_EQ(77u, ReadExitCode(thread));
    EXPECT_TRUE(job.tookModule);
    EXPECT_EQ(GetModuleHandleA(nullptr), job.module); // the tests are the main program
    CloseHandle(thread);
}

unsigned WINAPI Spin(void* argument)
{
    std::atomic<bool>* release = (std::atomic<bool>*)argument;
    while (!release->load())
        sched_yield();
    return 0;
}

TEST_F(PlatformThreads, WaitUntilIdleGivesUpOnARunningThread)
{
    EXPECT_TRUE(WaitUntilIdle(IDLE_TIMEOUT_MS)); // nothing runs
    std::atomic<bool> release(false);
    HANDLE thread = (HANDLE)_beginthreadex(nullptr, 0, Spin, &release, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_FALSE(WaitUntilIdle(50));
    release = true;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_TRUE(WaitUntilIdle(IDLE_TIMEOUT_MS));
    CloseHandle(thread);
}

// A worker as the plug-in has one: one wait on a stop event and a timer with a two-minute
// time-out, re-arming the timer each time it fires.
const int REARM_COUNT = 1000;
const DWORD WORKER_TIME_OUT_MS = 120000;

struct RearmJob {
    HANDLE stop;
    HANDLE timer;
    int delaySeconds;
    int fires;
    int timeOuts;
    uint32_t fireTimes[REARM_COUNT];
};

unsigned WINAPI RunRearmJob(void* argument)
{
    RearmJob* job = (RearmJob*)argument;
    HANDLE objects[2] = {job->stop, job->timer};
    for (;;) {
        DWORD woken = WaitForMultipleObjectsEx(2, objects, FALSE, WORKER_TIME_OUT_MS, FALSE);
        if (woken == WAIT_OBJECT_0)
            return (unsigned)job->fires;
        if (woken == WAIT_OBJECT_0 + 1) {
            if (job->fires < REARM_COUNT)
                job->fireTimes[job->fires] = ReadClock();
            job->fires++;
            ArmTimer(job->timer, -job->delaySeconds * SECOND);
        } else if (woken == WAIT_TIMEOUT) {
            job->timeOuts++;
        } else {
            return WAIT_FAILED;
        }
    }
}

struct RearmCase {
    int row;
    int delaySeconds;
    int timeOuts;            // over the whole run: one every 120 s of each wait
};

const RearmCase REARM_CASES[] = {
    {1, 60, 0},
    {2, 180, REARM_COUNT},       // at 120 s into each wait
    {3, 300, 2 * REARM_COUNT},   // at 120 and 240 s
    {4, 1, 0},
};

TEST_F(PlatformThreads, RunningTheClockDrivesAThousandRearmingsInSimulatedTime)
{
    static RearmJob job; // too big for the stack of a test, and only ever used by one
    for (const RearmCase& c : REARM_CASES) {
        SCOPED_TRACE(c.row);
        UseManualClock(START_SECONDS);
        job = RearmJob{CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateWaitableTimerA(nullptr, FALSE, nullptr),
                       c.delaySeconds};
        ASSERT_TRUE(ArmTimer(job.timer, -c.delaySeconds * SECOND));
        HANDLE thread = (HANDLE)_beginthreadex(nullptr, 0, RunRearmJob, &job, 0, nullptr);
        ASSERT_NE(nullptr, thread);

        int64_t lastFire = StartTime() + (int64_t)REARM_COUNT * c.delaySeconds * SECOND;
        ASSERT_TRUE(RunManualClockUntil(lastFire));
        EXPECT_EQ(lastFire, ClockNow100ns());
        EXPECT_EQ(STILL_ACTIVE, ReadExitCode(thread));
        TimerView view = ReadTimer(job.timer);
        EXPECT_TRUE(view.armed);
        EXPECT_FALSE(view.signalled);
        EXPECT_EQ(lastFire + c.delaySeconds * SECOND, view.due);

        SetEvent(job.stop);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
        EXPECT_EQ((DWORD)REARM_COUNT, ReadExitCode(thread));
        EXPECT_EQ(c.timeOuts, job.timeOuts);
        int misplaced = 0;
        for (int i = 0; i < REARM_COUNT; ++i) {
            if (job.fireTimes[i] != START_SECONDS + (uint32_t)((i + 1) * c.delaySeconds))
                misplaced++;
        }
        EXPECT_EQ(0, misplaced);
        CloseHandle(thread);
        CloseHandle(job.timer);
        CloseHandle(job.stop);
    }
}

TEST_F(PlatformThreads, RunningTheClockStopsAtTheGivenTimeWithNothingDue)
{
    ASSERT_TRUE(RunManualClockUntil(StartTime() + 3600 * SECOND));
    EXPECT_EQ(StartTime() + 3600 * SECOND, ClockNow100ns());
    ASSERT_TRUE(RunManualClockUntil(StartTime())); // never backwards
    EXPECT_EQ(StartTime() + 3600 * SECOND, ClockNow100ns());
    UseRealClock();
    EXPECT_FALSE(RunManualClockUntil(StartTime()));
}

// The next call of the faulted function fails and changes nothing; the one after it works.
struct FaultCase {
    int row;
    PlatformFault fault;
};

const FaultCase FAULT_CASES[] = {
    {1, FAULT_CREATE_EVENT},
    {2, FAULT_CREATE_TIMER},
    {3, FAULT_THREAD_START},
    {4, FAULT_SET_TIMER},
};

unsigned WINAPI CountStart(void* argument)
{
    ((std::atomic<int>*)argument)->fetch_add(1);
    return 0;
}

class PlatformFaults : public ManualClockTest {
protected:
    void SetUp() override
    {
        ManualClockTest::SetUp();
        timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
        ASSERT_NE(nullptr, timer);
    }
    void TearDown() override
    {
        CloseHandle(timer);
        ManualClockTest::TearDown();
    }

    // Makes the call that `fault` is about; true when it succeeded, with what it did checked.
    bool CallFaulted(PlatformFault fault)
    {
        HANDLE object = nullptr;
        switch (fault) {
        case FAULT_CREATE_EVENT: object = CreateEventA(nullptr, TRUE, FALSE, nullptr); break;
        case FAULT_CREATE_TIMER: object = CreateWaitableTimerA(nullptr, FALSE, nullptr); break;
        case FAULT_THREAD_START: {
            std::atomic<int> starts(0);
            object = (HANDLE)_beginthreadex(nullptr, 0, CountStart, &starts, 0, nullptr);
            if (object != nullptr) {
                EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(object, INFINITE));
            }
            EXPECT_EQ(object != nullptr ? 1 : 0, starts.load());
            EXPECT_EQ(threadsBefore, CountPlatformThreads());
            break;
        }
        case FAULT_SET_TIMER: {
            TimerView before = ReadTimer(timer);
            AdvanceManualClock(SECOND); // so that a new arming shows in the due time
            bool armed = ArmTimer(timer, -10 * SECOND);
            TimerView after = ReadTimer(timer);
            EXPECT_EQ(armed ? ClockNow100ns() + 10 * SECOND : before.due, after.due);
            EXPECT_EQ(armed || before.armed, after.armed);
            return armed;
        }
        default: break;
        }
        if (object != nullptr)
            CloseHandle(object);
        return object != nullptr;
    }

    HANDLE timer = nullptr;
};

TEST_F(PlatformFaults, EachFaultFailsTheNextCallOnly)
{
    for (const FaultCase& c : FAULT_CASES) {
        SCOPED_TRACE(c.row);
        EXPECT_TRUE(CallFaulted(c.fault));
        SetFault(c.fault, 1);
        EXPECT_FALSE(CallFaulted(c.fault));
        EXPECT_TRUE(CallFaulted(c.fault));
    }
}

struct LockJob {
    SRWLOCK* lock;
    int* counter;
};

const int LOCKED_INCREMENTS = 20000;

unsigned WINAPI IncrementUnderLock(void* argument)
{
    LockJob* job = (LockJob*)argument;
    for (int i = 0; i < LOCKED_INCREMENTS; ++i) {
        AcquireSRWLockExclusive(job->lock);
        ++*job->counter;
        ReleaseSRWLockExclusive(job->lock);
    }
    return 0;
}

TEST_F(PlatformThreads, ExclusiveLockSerialisesTwoThreads)
{
    SRWLOCK lock = SRWLOCK_INIT;
    int counter = 0;
    LockJob job = {&lock, &counter};
    HANDLE threads[2];
    for (HANDLE& thread : threads) {
        thread = (HANDLE)_beginthreadex(nullptr, 0, IncrementUnderLock, &job, 0, nullptr);
        ASSERT_NE(nullptr, thread);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjectsEx(2, threads, TRUE, INFINITE, FALSE));
    EXPECT_EQ(2 * LOCKED_INCREMENTS, counter);
    for (HANDLE thread : threads)
        CloseHandle(thread);
}

} // namespace
