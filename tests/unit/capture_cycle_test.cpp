// The capture worker and the channel change, with real threads on the manual clock: whole
// schedules run in simulated time, and every result is exact.
#include "capture/channel_change.h"
#include "capture/worker.h"
#include "platform/posix/platform_control.h"
#include "tests/support/capture_fixture.h"
#include "tests/support/test_files.h"

#include <string.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace {

const int64_t SECOND = 10000000;
const uint32_t ALPHA = 0x00010002;
const uint32_t BETA = 0x00010003;

class CaptureCycleTest : public CaptureFixture {
protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        StandinSetNetworkId(1);
        StandinSetChannel(0, 2, "Alpha TV");
        StandinSetChannel(1, 3, "Beta TV");
        StandinSetCurrentChannel(0);
    }
    void TearDown() override
    {
        StopCapture();
        EXPECT_TRUE(WaitUntilIdle(5000));
        CaptureFixture::TearDown();
    }
};

TEST_F(CaptureCycleTest, StartWithEnableZeroCreatesNothing)
{
    settings.Enable = 0;
    StartCapture();
    EXPECT_EQ(0, captureState.running);
    EXPECT_EQ(nullptr, captureState.workerThread);
    EXPECT_EQ(nullptr, captureState.stopEvent);
    EXPECT_EQ(nullptr, captureState.delayTimer);
    EXPECT_EQ(0, StandinCallCounts().getCoreVer);
}

TEST_F(CaptureCycleTest, SecondStartChangesNothing)
{
    StandinSetVersion("Core 2.5");
    StartCapture();
    ASSERT_EQ(1, captureState.running);
    HANDLE thread = captureState.workerThread, timer = captureState.delayTimer;
    EXPECT_STREQ("Core 2.5", captureState.coreVersionText);
    StandinSetVersion("Core 9.9");
    StartCapture();
    EXPECT_STREQ("Core 2.5", captureState.coreVersionText);
    EXPECT_EQ(thread, captureState.workerThread);
    EXPECT_EQ(timer, captureState.delayTimer);
    EXPECT_EQ(1, StandinCallCounts().getCoreVer);
}

TEST_F(CaptureCycleTest, CoreVersionIsEmptiedAtEveryStart)
{
    StandinSetVersion("Core 2.5");
    StartCapture();
    StopCapture();
    StandinSetVersion(nullptr); // the core writes nothing this time
    StartCapture();
    EXPECT_STREQ("", captureState.coreVersionText);
}

TEST_F(CaptureCycleTest, StopWhileStoppedChangesNothing)
{
    StopCapture();
    EXPECT_EQ(0, captureState.running);
    EXPECT_EQ(0u, captureState.workerGeneration);
}

TEST_F(CaptureCycleTest, StopOnAWaitingWorkerEndsItAndReleasesEverything)
{
    StartCapture();
    ASSERT_TRUE(WaitUntilIdle(5000));
    EXPECT_EQ(1, CountPlatformThreads());
    StopCapture(); // returns without the clock moving: the worker ended at once
    EXPECT_EQ(0, captureState.running);
    EXPECT_EQ(nullptr, captureState.workerThread);
    EXPECT_EQ(nullptr, captureState.stopEvent);
    EXPECT_EQ(nullptr, captureState.delayTimer);
    EXPECT_TRUE(WaitUntilIdle(5000));
    EXPECT_EQ(0, CountPlatformThreads());
}

TEST_F(CaptureCycleTest, WholeCycleFromChangeToOneDetailPerEvent)
{
    TimeValue t0 = ReadClock();
    StandinSetEpg(ALPHA, StandinEventOf(t0 - 600, 1800, 1, "News", "", ""));   // ends at t0 + 1200
    StartCapture();
    ChangeTo(0);
    EXPECT_EQ(180 * SECOND, TimerDueIn());
    Pass(179);
    EXPECT_EQ("", DetailFiles());
    Pass(1);
    EXPECT_EQ("050408_200507 Alpha TV News.txt\n", DetailFiles());
    EXPECT_EQ((1200 + 180 - 180) * SECOND, TimerDueIn()); // Delay after the event's end

    StandinSetEpg(ALPHA, StandinEventOf(t0 + 1200, 3600, 2, "Film", "", ""));
    Pass(1200 + 180 - 180 - 1);
    EXPECT_EQ("050408_200507 Alpha TV News.txt\n", DetailFiles());
    Pass(1);
    EXPECT_EQ("050408_200507 Alpha TV News.txt\n050408_203507 Alpha TV Film.txt\n", DetailFiles());
    EXPECT_EQ(2, StandinCallCounts().epg);
}

TEST_F(CaptureCycleTest, TwoChangesWithinDelayGiveOneDetailForTheSecond)
{
    StartCapture();
    ChangeTo(0);
    Pass(100);
    ChangeTo(1);
    EXPECT_EQ(180 * SECOND, TimerDueIn());
    Pass(179);
    EXPECT_EQ("", DetailFiles());
    Pass(1);
    EXPECT_EQ("050408_201647 Beta TV (NO EPG DATA).txt\n", DetailFiles());
    EXPECT_EQ(BETA, StandinCallCounts().lastEpgKey);
    EXPECT_EQ(1, StandinCallCounts().epg);
}

TEST_F(CaptureCycleTest, ChangeWhileNotRunningChangesNothing)
{
    captureState.changePending = 0;
    OnChannelChange();
    EXPECT_EQ(0u, captureState.changeTime);
    EXPECT_EQ(0, captureState.changePending);
    EXPECT_EQ(0, StandinCallCounts().params);
}

struct NoChannelCase {
    int row;
    DWORD paramsResult;
    uint16_t currentChannel;
};

const NoChannelCase NO_CHANNEL_CASES[] = {
    {1, 1, 0},          // the core fails
    {2, 0, 0xFFFF},     // no current channel
    {3, 0, 128},        // beyond the channel table: read as no current channel
    {4, 0, 0xFFFE},
};

TEST_F(CaptureCycleTest, ChangeWithoutAChannelSetsOnlyTheFlagAndTime)
{
    StartCapture();
    ChangeTo(0);
    Pass(60);
    for (const NoChannelCase& c : NO_CHANNEL_CASES) {
        SCOPED_TRACE(c.row);
        captureState.changePending = 0;
        EventRecord before = captureState.liveEvent;
        int64_t dueBefore = TimerDueIn();
        StandinSetParamsResult(c.paramsResult);
        StandinSetCurrentChannel(c.currentChannel);
        OnChannelChange();
        EXPECT_EQ(1, captureState.changePending);
        EXPECT_EQ(ReadClock(), captureState.changeTime);
        EXPECT_EQ(0, memcmp(&before, &captureState.liveEvent, sizeof before));
        EXPECT_EQ(dueBefore, TimerDueIn());
        StandinSetParamsResult(0);
        Pass(1);
    }
}

TEST_F(CaptureCycleTest, ChangeTakesTheChannelAndEmptiesTheEvent)
{
    StartCapture();
    memset(&captureState.liveEvent, 'x', sizeof captureState.liveEvent);
    std::string longName(70, 'N');
    StandinSetChannel(5, 2, longName.c_str());
    ChangeTo(5);
    const EventRecord& live = captureState.liveEvent;
    EXPECT_EQ(0x00010002u, live.nidsid);
    EXPECT_EQ(std::string(63, 'N'), live.channelName);
    EXPECT_EQ(0u, live.eid);
    EXPECT_EQ(0u, live.language);
    EXPECT_EQ(0u, live.start);
    EXPECT_EQ(0u, live.end);
    EXPECT_EQ('\0', live.eventName[0]);
    EXPECT_EQ('\0', live.shortText[0]);
    EXPECT_EQ('\0', live.longText[0]);
    EXPECT_EQ(180, captureState.armedDelay);
}

TEST_F(CaptureCycleTest, DueTimesFollowDelay)
{
    StartCapture();
    for (int delay : {180, 215, 32767, 65535}) {
        SCOPED_TRACE(delay);
        settings.Delay = delay;
        ChangeTo(0);
        EXPECT_EQ(delay * SECOND, TimerDueIn());
    }
}

TEST_F(CaptureCycleTest, DelayZeroFromTheFileGivesADetailAtOnce)
{
    settings.Delay = 0;
    StartCapture();
    ChangeTo(0);
    ASSERT_TRUE(WaitUntilIdle(5000));
    EXPECT_EQ("050408_201507 Alpha TV (NO EPG DATA).txt\n", DetailFiles());
    EXPECT_EQ(1 * SECOND, TimerDueIn()); // floored: the step does not run again without pause
}

TEST_F(CaptureCycleTest, TimeOutOfTheWaitWritesNothing)
{
    StartCapture();
    Pass(10 * 60);
    EXPECT_EQ("", DetailFiles());
    EXPECT_EQ(0, StandinCallCounts().epg);
}

TEST_F(CaptureCycleTest, AfterStopAndStartNothingUntilTheTimerIsArmedAgain)
{
    StartCapture();
    ChangeTo(0);
    Pass(60);
    StopCapture();
    StartCapture();
    Pass(3600);
    EXPECT_EQ("", DetailFiles());
    ChangeTo(0);
    Pass(180);
    EXPECT_EQ(1, StandinCallCounts().epg);
}

TEST_F(CaptureCycleTest, FailedObjectCreationStartsNoWorker)
{
    for (PlatformFault fault : {FAULT_CREATE_EVENT, FAULT_CREATE_TIMER, FAULT_THREAD_START}) {
        SCOPED_TRACE(fault);
        SetFault(fault, 1);
        StartCapture();
        EXPECT_EQ(0, captureState.running);
        EXPECT_EQ(nullptr, captureState.workerThread);
        EXPECT_EQ(0, CountPlatformThreads());
        StartCapture(); // the next start tries again and succeeds
        EXPECT_EQ(1, captureState.running);
        StopCapture();
    }
}

TEST_F(CaptureCycleTest, FailedArmingLeavesTheScheduleToTheNextChange)
{
    StartCapture();
    SetFault(FAULT_SET_TIMER, 1);
    ChangeTo(0);
    Pass(3600);
    EXPECT_EQ("", DetailFiles());
    ChangeTo(0);
    Pass(180);
    EXPECT_EQ(1, StandinCallCounts().epg);
}

// A core that takes its time: the worker blocks inside the EPG query until the test lets it go.
HANDLE releaseCore;
void WaitForRelease(DWORD)
{
    WaitForSingleObject(releaseCore, INFINITE);
}

TEST_F(CaptureCycleTest, LateWorkerFinishesWithoutTouchingTheNewOne)
{
    releaseCore = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    StandinSetEpgHook(WaitForRelease);
    StartCapture();
    ChangeTo(0);
    Pass(180); // the step is now blocked in the core
    EXPECT_EQ(1, StandinCallCounts().epg);

    // The host thread stops the capture; its wait for the worker runs out after 5 s of clock.
    std::thread host([] { StopCapture(); });
    // The host thread is not one of the platform's: wait until its 5 s wait is on the clock.
    for (int i = 0; i < 5000 && NextDueTime100ns() < 0; ++i)
        usleep(1000);
    ASSERT_EQ(ClockNow100ns() + 5 * SECOND, NextDueTime100ns());
    ASSERT_TRUE(RunManualClockUntil(ClockNow100ns() + 5 * SECOND));
    host.join();
    EXPECT_EQ(0, captureState.running);
    EXPECT_EQ(nullptr, captureState.delayTimer);
    EXPECT_EQ(1, CountPlatformThreads()); // the late worker is not ended by force

    // A new worker starts at once and writes while the old one is still blocked.
    StandinSetEpgHook(nullptr);
    StartCapture();
    ChangeTo(1);
    Pass(180);
    EXPECT_EQ("050408_201812 Beta TV (NO EPG DATA).txt\n", DetailFiles());
    HANDLE newTimer = captureState.delayTimer;
    int64_t newDue = TimerDueIn();

    // The old step ends: it writes nothing, arms nothing and exits.
    SetEvent(releaseCore);
    ASSERT_TRUE(WaitUntilIdle(5000));
    EXPECT_EQ("050408_201812 Beta TV (NO EPG DATA).txt\n", DetailFiles());
    EXPECT_EQ(newTimer, captureState.delayTimer);
    EXPECT_EQ(newDue, TimerDueIn());
    EXPECT_EQ(1, CountPlatformThreads());
    StopCapture();
    EXPECT_TRUE(WaitUntilIdle(5000));
    EXPECT_EQ(0, CountPlatformThreads());
    CloseHandle(releaseCore);
}

// A channel change that lands while the step waits for the core keeps its flag and its arming.
TEST_F(CaptureCycleTest, ChangeDuringAStepWins)
{
    releaseCore = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    StandinSetEpgHook(WaitForRelease);
    StartCapture();
    ChangeTo(0);
    Pass(180); // blocked in the core, for Alpha
    Pass(30);
    ChangeTo(1);
    StandinSetEpgHook(nullptr);
    SetEvent(releaseCore);
    ASSERT_TRUE(WaitUntilIdle(5000));
    EXPECT_EQ("050408_201507 Alpha TV (NO EPG DATA).txt\n", DetailFiles()); // the old channel's detail
    EXPECT_EQ(1, captureState.changePending);  // not cleared by the old step
    EXPECT_EQ(180 * SECOND, TimerDueIn());     // the change's arming stands
    Pass(180);
    EXPECT_EQ("050408_201507 Alpha TV (NO EPG DATA).txt\n050408_201837 Beta TV (NO EPG DATA).txt\n",
              DetailFiles()); // dated at the change, not superseding the old channel's file
    CloseHandle(releaseCore);
}

} // namespace
