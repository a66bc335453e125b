// Events, waitable timers and waits of the POSIX platform, on the manual clock.
#include "platform/posix/platform_control.h"
#include "tests/support/platform_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

enum ObjectSetup {
    AUTO_SET,                // auto-reset event, signalled
    AUTO_CLEAR,
    MANUAL_SET,              // manual-reset event, signalled
    MANUAL_CLEAR,
    TIMER_FIRED,             // synchronization timer armed with due time 0
    TIMER_PENDING,           // synchronization timer due in a second
    MANUAL_TIMER_FIRED,      // manual-reset timer armed with due time 0
    NULL_HANDLE,
    CLOSED_HANDLE,           // an event's handle after CloseHandle
    PROCESS_HANDLE,          // GetCurrentProcess(): not something this layer can wait on
};

const int MAX_ROW_OBJECTS = 4;

struct WaitCase {
    int row;
    int count;
    ObjectSetup objects[MAX_ROW_OBJECTS];
    bool waitAll;
    DWORD result;
    const char* after;       // per object: '1' still signalled, '0' not, '-' no object
};

const WaitCase WAIT_CASES[] = {
    {1, 1, {AUTO_SET}, false, WAIT_OBJECT_0, "0"},
    {2, 1, {AUTO_CLEAR}, false, WAIT_TIMEOUT, "0"},
    {3, 1, {MANUAL_SET}, false, WAIT_OBJECT_0, "1"},
    {4, 1, {MANUAL_CLEAR}, false, WAIT_TIMEOUT, "0"},
    {5, 2, {AUTO_CLEAR, AUTO_SET}, false, WAIT_OBJECT_0 + 1, "00"},
    {6, 2, {AUTO_SET, AUTO_SET}, false, WAIT_OBJECT_0, "01"},
    {7, 2, {MANUAL_SET, AUTO_SET}, false, WAIT_OBJECT_0, "11"},
    {8, 2, {AUTO_SET, MANUAL_SET}, false, WAIT_OBJECT_0, "01"},
    {9, 2, {TIMER_FIRED, AUTO_SET}, false, WAIT_OBJECT_0, "01"},
    {10, 2, {AUTO_SET, TIMER_FIRED}, false, WAIT_OBJECT_0, "01"},
    {11, 2, {TIMER_PENDING, TIMER_FIRED}, false, WAIT_OBJECT_0 + 1, "00"},
    {12, 1, {TIMER_PENDING}, false, WAIT_TIMEOUT, "0"},
    {13, 2, {MANUAL_TIMER_FIRED, TIMER_FIRED}, false, WAIT_OBJECT_0, "11"},
    {14, 4, {AUTO_CLEAR, MANUAL_CLEAR, TIMER_PENDING, AUTO_SET}, false, WAIT_OBJECT_0 + 3, "0000"},
    {15, 2, {AUTO_SET, NULL_HANDLE}, false, WAIT_FAILED, "1-"},
    {16, 2, {NULL_HANDLE, AUTO_SET}, false, WAIT_FAILED, "-1"},
    {17, 2, {AUTO_SET, CLOSED_HANDLE}, false, WAIT_FAILED, "1-"},
    {18, 1, {PROCESS_HANDLE}, false, WAIT_FAILED, "-"},
    {19, 3, {AUTO_SET, MANUAL_SET, TIMER_FIRED}, true, WAIT_OBJECT_0, "010"},
    {20, 2, {AUTO_SET, AUTO_CLEAR}, true, WAIT_TIMEOUT, "10"},
    {21, 2, {TIMER_FIRED, NULL_HANDLE}, true, WAIT_FAILED, "1-"},
};

HANDLE MakeObject(ObjectSetup setup)
{
    HANDLE timer = nullptr;
    switch (setup) {
    case AUTO_SET: return CreateEventA(nullptr, FALSE, TRUE, nullptr);
    case AUTO_CLEAR: return CreateEventA(nullptr, FALSE, FALSE, nullptr);
    case MANUAL_SET: return CreateEventA(nullptr, TRUE, TRUE, nullptr);
    case MANUAL_CLEAR: return CreateEventA(nullptr, TRUE, FALSE, nullptr);
    case TIMER_FIRED:
    case TIMER_PENDING:
    case MANUAL_TIMER_FIRED:
        timer = CreateWaitableTimerA(nullptr, setup == MANUAL_TIMER_FIRED, nullptr);
        EXPECT_TRUE(ArmTimer(timer, setup == TIMER_PENDING ? -SECOND : 0));
        return timer;
    default: return nullptr;
    }
}

// Looks without consuming where the platform allows it; an auto-reset event can only be looked at
// by taking its signal, which is why this comes last.
char ReadSignalled(ObjectSetup setup, HANDLE object)
{
    if (setup == NULL_HANDLE || setup == CLOSED_HANDLE || setup == PROCESS_HANDLE)
        return '-';
    if (setup == TIMER_FIRED || setup == TIMER_PENDING || setup == MANUAL_TIMER_FIRED)
        return ReadTimer(object).signalled ? '1' : '0';
    return WaitForSingleObject(object, 0) == WAIT_OBJECT_0 ? '1' : '0';
}

class PlatformWaits : public ManualClockTest {};

TEST_F(PlatformWaits, TableOfCases)
{
    for (const WaitCase& c : WAIT_CASES) {
        SCOPED_TRACE(c.row);
        HANDLE objects[MAX_ROW_OBJECTS];
        // Closed handles last, so that no object made after them takes their slot again.
        for (int i = 0; i < c.count; ++i)
            objects[i] = MakeObject(c.objects[i]);
        for (int i = 0; i < c.count; ++i) {
            if (c.objects[i] == CLOSED_HANDLE) {
                objects[i] = CreateEventA(nullptr, TRUE, TRUE, nullptr);
                ASSERT_TRUE(CloseHandle(objects[i]));
            } else if (c.objects[i] == PROCESS_HANDLE) {
                objects[i] = GetCurrentProcess();
            }
        }
        EXPECT_EQ(c.result, WaitForMultipleObjectsEx(c.count, objects, c.waitAll, 0, FALSE));
        std::string after;
        for (int i = 0; i < c.count; ++i)
            after += ReadSignalled(c.objects[i], objects[i]);
        EXPECT_EQ(c.after, after);
        for (int i = 0; i < c.count; ++i) {
            if (ReadSignalled(c.objects[i], objects[i]) != '-')
                CloseHandle(objects[i]);
        }
    }
}

TEST_F(PlatformWaits, ListsOfNoneOrTooManyObjectsFail)
{
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    HANDLE many[65];
    for (HANDLE& object : many)
        object = event;
    EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjectsEx(0, many, FALSE, 0, FALSE));
    EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjectsEx(65, many, FALSE, 0, FALSE));
    EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjectsEx(1, nullptr, FALSE, 0, FALSE));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjectsEx(64, many, FALSE, 0, FALSE));
    CloseHandle(event);
}

TEST_F(PlatformWaits, ManualResetEventStaysSignalledUntilReset)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
    CloseHandle(event);
}

TEST_F(PlatformWaits, DuplicateKeepsTheObjectAfterTheOriginalIsClosed)
{
    HANDLE process = GetCurrentProcess();
    HANDLE original = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(process, original, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
    ASSERT_NE(nullptr, copy);
    ASSERT_NE(original, copy);
    EXPECT_TRUE(ArmTimer(original, -SECOND));
    EXPECT_TRUE(CloseHandle(original));

    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(original, 0));
    EXPECT_FALSE(ArmTimer(original, 0));
    EXPECT_TRUE(ReadTimer(copy).armed); // armed through the original, before it was closed
    AdvanceManualClock(SECOND);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(copy, 0));

    EXPECT_TRUE(CloseHandle(copy));
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(copy, 0));
    EXPECT_FALSE(CloseHandle(copy));
}

TEST_F(PlatformWaits, AWaitKeepsItsObjectWhenTheHandleIsClosedMeanwhile)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    WaitJob job = {{event}, 1, INFINITE};
    HANDLE thread = StartWaitJob(&job);
    ASSERT_TRUE(WaitUntilIdle(IDLE_TIMEOUT_MS));
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_TRUE(SetEvent(copy));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_EQ(WAIT_OBJECT_0, ReadExitCode(thread));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(copy, 0)); // the waiter took the signal
    CloseHandle(thread);
    CloseHandle(copy);
}

TEST_F(PlatformWaits, SetEventWakesABlockedWaitWithItsIndex)
{
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    WaitJob job = {{stop, event}, 2, INFINITE};
    HANDLE thread = StartWaitJob(&job);
    ASSERT_TRUE(WaitUntilIdle(IDLE_TIMEOUT_MS));
    EXPECT_EQ(STILL_ACTIVE, ReadExitCode(thread));
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_EQ(WAIT_OBJECT_0 + 1, ReadExitCode(thread));
    EXPECT_EQ(StartTime(), job.returnedAt); // no time passed
    CloseHandle(thread);
    CloseHandle(event);
    CloseHandle(stop);
}

// The time-out expires when the manual clock reaches it, not one tick before.
TEST_F(PlatformWaits, TimeOutExpiresExactlyWhenTheClockReachesIt)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    WaitJob job = {{event}, 1, 3000};
    HANDLE thread = StartWaitJob(&job);
    ASSERT_TRUE(WaitUntilIdle(IDLE_TIMEOUT_MS));
    EXPECT_EQ(StartTime() + 3 * SECOND, NextDueTime100ns());
    AdvanceManualClock(3 * SECOND - 1);
    ASSERT_TRUE(WaitUntilIdle(IDLE_TIMEOUT_MS));
    EXPECT_EQ(STILL_ACTIVE, ReadExitCode(thread));
    AdvanceManualClock(1);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_EQ(WAIT_TIMEOUT, ReadExitCode(thread));
    EXPECT_EQ(StartTime() + 3 * SECOND, job.returnedAt);
    CloseHandle(thread);
    CloseHandle(event);
}

TEST_F(PlatformWaits, SleepEndsWhenTheClockHasMovedItsLength)
{
    WaitJob job = {{}, 0, 5000};
    HANDLE thread = StartWaitJob(&job);
    ASSERT_TRUE(WaitUntilIdle(IDLE_TIMEOUT_MS));
    EXPECT_EQ(StartTime() + 5 * SECOND, NextDueTime100ns());
    AdvanceManualClock(4 * SECOND);
    ASSERT_TRUE(WaitUntilIdle(IDLE_TIMEOUT_MS));
    EXPECT_EQ(STILL_ACTIVE, ReadExitCode(thread));
    AdvanceManualClock(SECOND);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_EQ(StartTime() + 5 * SECOND, job.returnedAt);
    EXPECT_EQ(-1, NextDueTime100ns());
    CloseHandle(thread);
}

TEST_F(PlatformWaits, ZeroTimeOutAndZeroSleepReturnAtOnceOnTheManualClock)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
    Sleep(0);
    EXPECT_EQ(StartTime(), ClockNow100ns());
    CloseHandle(event);
}

} // namespace

namespace {

// The default clock: the same waits against real time. Only outcomes are checked, never durations.
TEST(PlatformRealClock, TimersTimeOutsAndSleepFollowRealTime)
{
    ASSERT_FALSE(IsManualClock());
    HANDLE timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(ArmTimer(timer, -20 * MILLISECOND));
    EXPECT_FALSE(ReadTimer(timer).signalled);
    HANDLE objects[2] = {event, timer};
    EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitForMultipleObjectsEx(2, objects, FALSE, INFINITE, FALSE));
    EXPECT_FALSE(ReadTimer(timer).signalled);

    int64_t before = ClockNow100ns();
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 20));
    Sleep(5);
    EXPECT_GT(ClockNow100ns(), before);
    CloseHandle(event);
    CloseHandle(timer);
}

} // namespace
