// Waitable timers of the POSIX platform on the manual clock: due times, re-arming, periods, cancelling.
#include "tests/support/platform_fixture.h"

#include <gtest/gtest.h>

namespace {

// 100 ns units from 1601-01-01, where absolute due times count from, to 1970-01-01.
const int64_t FROM_1601_TO_1970 = 116444736000000000;

class PlatformTimers : public ManualClockTest {
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

    HANDLE timer = nullptr;
};

TEST_F(PlatformTimers, ANewTimerIsNeitherArmedNorSignalled)
{
    TimerView view = ReadTimer(timer);
    EXPECT_FALSE(view.armed);
    EXPECT_FALSE(view.signalled);
    EXPECT_EQ(0, view.due);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(timer, 0));
}

TEST_F(PlatformTimers, SynchronizationTimerIsConsumedByTheWaitThatReportsIt)
{
    ASSERT_TRUE(ArmTimer(timer, -10 * SECOND));
    TimerView view = ReadTimer(timer);
    EXPECT_TRUE(view.armed);
    EXPECT_FALSE(view.signalled);
    EXPECT_EQ(StartTime() + 10 * SECOND, view.due);
    EXPECT_EQ(StartTime() + 10 * SECOND, NextDueTime100ns());

    AdvanceManualClock(10 * SECOND - 1);
    EXPECT_FALSE(ReadTimer(timer).signalled);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(timer, 0));
    AdvanceManualClock(1);
    view = ReadTimer(timer);
    EXPECT_FALSE(view.armed); // fired once, nothing more pending
    EXPECT_TRUE(view.signalled);
    EXPECT_EQ(-1, NextDueTime100ns());
    // Still signalled: nobody has waited yet, and the clock moving on does not clear it.
    AdvanceManualClock(3600 * SECOND);
    EXPECT_TRUE(ReadTimer(timer).signalled);

    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(timer, 0));
    EXPECT_FALSE(ReadTimer(timer).signalled);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(timer, 0));
}

TEST_F(PlatformTimers, ArmingAgainReplacesThePendingDueTime)
{
    ASSERT_TRUE(ArmTimer(timer, -10 * SECOND));
    AdvanceManualClock(5 * SECOND);
    ASSERT_TRUE(ArmTimer(timer, -10 * SECOND));
    EXPECT_EQ(StartTime() + 15 * SECOND, ReadTimer(timer).due);
    AdvanceManualClock(5 * SECOND); // the first due time passes unnoticed
    EXPECT_FALSE(ReadTimer(timer).signalled);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(timer, 0));
    AdvanceManualClock(5 * SECOND);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(timer, 0));
}

TEST_F(PlatformTimers, ArmingASignalledTimerClearsTheSignal)
{
    ASSERT_TRUE(ArmTimer(timer, 0));
    ASSERT_TRUE(ReadTimer(timer).signalled);
    ASSERT_TRUE(ArmTimer(timer, -SECOND));
    TimerView view = ReadTimer(timer);
    EXPECT_FALSE(view.signalled);
    EXPECT_TRUE(view.armed);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(timer, 0));
}

TEST_F(PlatformTimers, DueTimeZeroSignalsAtOnce)
{
    ASSERT_TRUE(ArmTimer(timer, 0));
    TimerView view = ReadTimer(timer);
    EXPECT_TRUE(view.signalled);
    EXPECT_FALSE(view.armed);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(timer, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(timer, 0));
}

TEST_F(PlatformTimers, PositiveDueTimeIsAbsoluteFrom1601)
{
    ASSERT_TRUE(ArmTimer(timer, FROM_1601_TO_1970 + StartTime() + 30 * SECOND));
    EXPECT_EQ(StartTime() + 30 * SECOND, ReadTimer(timer).due);
    AdvanceManualClock(30 * SECOND - 1);
    EXPECT_FALSE(ReadTimer(timer).signalled);
    AdvanceManualClock(1);
    EXPECT_TRUE(ReadTimer(timer).signalled);

    ASSERT_TRUE(ArmTimer(timer, FROM_1601_TO_1970 + StartTime())); // already past
    EXPECT_TRUE(ReadTimer(timer).signalled);
}

TEST_F(PlatformTimers, CancelStopsThePendingDueTimeButKeepsTheSignal)
{
    ASSERT_TRUE(ArmTimer(timer, -10 * SECOND));
    EXPECT_TRUE(CancelWaitableTimer(timer));
    EXPECT_FALSE(ReadTimer(timer).armed);
    EXPECT_EQ(-1, NextDueTime100ns());
    AdvanceManualClock(20 * SECOND);
    EXPECT_FALSE(ReadTimer(timer).signalled);

    // A due time that passed before the cancel has signalled the timer, looked at or not.
    ASSERT_TRUE(ArmTimer(timer, -SECOND));
    AdvanceManualClock(SECOND);
    EXPECT_TRUE(CancelWaitableTimer(timer));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(timer, 0));
}

TEST_F(PlatformTimers, PeriodicTimerFallsDueAgainAndMissedPeriodsFireOnce)
{
    ASSERT_TRUE(ArmTimer(timer, -SECOND, 500));
    AdvanceManualClock(SECOND);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(timer, 0));
    TimerView view = ReadTimer(timer);
    EXPECT_TRUE(view.armed);
    EXPECT_EQ(StartTime() + 1500 * MILLISECOND, view.due);
    AdvanceManualClock(500 * MILLISECOND);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(timer, 0));
    AdvanceManualClock(1700 * MILLISECOND); // 3.2 s: the periods at 2, 2.5 and 3 s pass unseen
    EXPECT_EQ(StartTime() + 3500 * MILLISECOND, ReadTimer(timer).due);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(timer, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(timer, 0));
}

TEST_F(PlatformTimers, ManualResetTimerStaysSignalledUntilArmedAgain)
{
    HANDLE manual = CreateWaitableTimerA(nullptr, TRUE, nullptr);
    ASSERT_TRUE(ArmTimer(manual, -SECOND));
    AdvanceManualClock(SECOND);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manual, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manual, 0));
    ASSERT_TRUE(ArmTimer(manual, -SECOND));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(manual, 0));
    CloseHandle(manual);
}

TEST_F(PlatformTimers, ArmingIsRefusedForWrongHandlesAndArguments)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    LARGE_INTEGER due;
    due.QuadPart = -SECOND;
    EXPECT_FALSE(SetWaitableTimer(event, &due, 0, nullptr, nullptr, FALSE));
    EXPECT_FALSE(SetWaitableTimer(nullptr, &due, 0, nullptr, nullptr, FALSE));
    EXPECT_FALSE(SetWaitableTimer(timer, nullptr, 0, nullptr, nullptr, FALSE));
    EXPECT_FALSE(SetWaitableTimer(timer, &due, -1, nullptr, nullptr, FALSE));
    EXPECT_FALSE(CancelWaitableTimer(event));
    EXPECT_FALSE(ReadTimer(timer).armed); // none of these armed anything
    EXPECT_TRUE(SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE));
    bool armed, signalled;
    int64_t dueTime;
    EXPECT_FALSE(GetTimerState(event, &armed, &signalled, &dueTime));
    CloseHandle(event);
}

// Pending due times keep their distance from now when the clock is switched.
TEST_F(PlatformTimers, SwitchingTheClockKeepsTheTimeToGo)
{
    UseRealClock();
    ASSERT_TRUE(ArmTimer(timer, -3600 * SECOND));
    UseManualClock(START_SECONDS);
    TimerView view = ReadTimer(timer);
    EXPECT_TRUE(view.armed);
    // The real clock ran on between the arming and the switch, by far less than a second here.
    EXPECT_LE(view.due, StartTime() + 3600 * SECOND);
    EXPECT_GT(view.due, StartTime() + 3599 * SECOND);
}

TEST_F(PlatformTimers, NextDueTimeIsTheEarliestPendingOne)
{
    HANDLE later = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    EXPECT_EQ(-1, NextDueTime100ns());
    ASSERT_TRUE(ArmTimer(later, -20 * SECOND));
    ASSERT_TRUE(ArmTimer(timer, -10 * SECOND));
    EXPECT_EQ(StartTime() + 10 * SECOND, NextDueTime100ns());

    WaitJob sleeper = {{}, 0, 5000};
    HANDLE thread = StartWaitJob(&sleeper);
    ASSERT_TRUE(WaitUntilIdle(IDLE_TIMEOUT_MS));
    EXPECT_EQ(StartTime() + 5 * SECOND, NextDueTime100ns());
    AdvanceManualClock(5 * SECOND);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_EQ(StartTime() + 10 * SECOND, NextDueTime100ns());
    AdvanceManualClock(15 * SECOND); // both fell due: nothing pending now
    EXPECT_EQ(-1, NextDueTime100ns());
    CloseHandle(thread);
    CloseHandle(later);
}

} // namespace
