// The detail step on the manual clock: resolution of start and name, superseded placeholders, the
// next delay and the arming of the timer.
#include "capture/detail_step.h"
#include "host/dvbcore.h"
#include "platform/posix/platform_control.h"
#include "tests/support/capture_fixture.h"
#include "tests/support/test_files.h"

#include <string.h>
#include <unistd.h>

#include <string>

namespace {

const uint32_t ALPHA = 0x00010002;

class DetailStepTest : public CaptureFixture {
protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
        ASSERT_NE(nullptr, timer);
        PrepareChannel();
    }
    // Fresh records and a fresh folder for one more case of a table, on the same timer.
    void PrepareCase()
    {
        CaptureFixture::SetUp();
        PrepareChannel();
    }
    void PrepareChannel()
    {
        captureState.delayTimer = timer;
        captureState.armedDelay = 180;
        TuneLiveEvent(ALPHA, "Alpha TV");
    }
    void TearDown() override
    {
        CloseHandle(timer);
        CaptureFixture::TearDown();
    }

    bool Step() { return WriteDetail(captureState.workerGeneration, timer); }

    // The relative due time of the timer's last arming, in 100 ns units; 0 when not armed.
    int64_t ArmedFor()
    {
        bool armed = false, signalled = false;
        int64_t due = 0;
        if (!GetTimerState(timer, &armed, &signalled, &due) || !armed)
            return 0;
        return due - ClockNow100ns();
    }

    std::string LineOf(const std::string& text, const char* key)
    {
        size_t at = text.find(std::string("\r\n") + key);
        if (at == std::string::npos)
            return "";
        size_t end = text.find("\r\n", at + 2);
        return text.substr(at + 2, end - at - 2);
    }

    void PlaceholderFileAt(TimeValue start)
    {
        placeholderPath = PathOf("older placeholder.txt");
        WriteWholeFile(placeholderPath, "placeholder");
        strcpy(captureState.lastDetailPath, ToWindowsPath(placeholderPath).c_str());
        captureState.lastDetailStart = start;
    }

    HANDLE timer = nullptr;
    std::string placeholderPath;
};

enum Query { EVENT, NO_EPG };
enum Name { EPG_NAME, PLACEHOLDER };
enum Start { EVENT_START, NOW_LESS_ARMED_DELAY, LAST_START, NOW };

struct ResolutionCase {
    int row;
    Query query;
    uint8_t pendingBefore;
    int64_t start;            // relative to now; ZERO_START for an event start of 0
    int64_t end;              // relative to now (with start 0: the duration is now + end)
    int64_t last;             // lastDetailStart relative to now; NO_LAST for 0
    Start expectedStart;
    Name expectedName;
    uint8_t pendingAfter;
    bool superseded;          // the placeholder file at lastDetailPath is deleted
};

const int64_t ZERO_START = INT64_MIN;
const int64_t NO_LAST = INT64_MIN;

const ResolutionCase RESOLUTION_CASES[] = {
    // Case 1: a current event after a channel change.
    {1, EVENT, 1, -600, 1200, -300, EVENT_START, EPG_NAME, 1, false},
    // Case 2: a current event without a start is dated at the change.
    {2, EVENT, 1, ZERO_START, 1200, -300, NOW_LESS_ARMED_DELAY, EPG_NAME, 1, false},
    // Case 3: an event that has ended is no current event.
    {3, EVENT, 1, -3600, -1800, -300, NOW_LESS_ARMED_DELAY, PLACEHOLDER, 0, false},
    // Case 4: a real event covers the placeholder's start: the placeholder is superseded.
    {4, EVENT, 0, -600, 1200, -300, EVENT_START, EPG_NAME, 1, true},
    {5, EVENT, 0, -300, 1200, -300, EVENT_START, EPG_NAME, 1, true},   // S = L
    {6, EVENT, 0, -200, 1200, -300, EVENT_START, EPG_NAME, 1, false},  // starts after the placeholder
    {7, EVENT, 0, -900, -300, -300, LAST_START, PLACEHOLDER, 0, false}, // ended: L = E is not covered
    // Case 5: an event without a start reuses the placeholder's start and supersedes its file.
    {8, EVENT, 0, ZERO_START, 1200, -300, LAST_START, EPG_NAME, 0, true},
    // Case 6 and 7: ended events keep the placeholder and its start.
    {9, EVENT, 0, -3600, -1800, -300, LAST_START, PLACEHOLDER, 0, false},
    {10, EVENT, 0, ZERO_START, -1800, -300, LAST_START, PLACEHOLDER, 0, false},
    // Case 8 and 9: no EPG data.
    {11, NO_EPG, 1, 0, 0, -300, NOW_LESS_ARMED_DELAY, PLACEHOLDER, 0, false},
    {12, NO_EPG, 0, 0, 0, -300, LAST_START, PLACEHOLDER, 0, false},
    {13, NO_EPG, 0, 0, 0, NO_LAST, NOW, PLACEHOLDER, 0, false},
    // An event with start 0 and a short duration ends in 1970: it counts as ended.
    {14, EVENT, 1, ZERO_START, -1, -300, NOW_LESS_ARMED_DELAY, PLACEHOLDER, 0, false},
};

TEST_F(DetailStepTest, ResolutionTable)
{
    for (const ResolutionCase& c : RESOLUTION_CASES) {
        SCOPED_TRACE(c.row);
        PrepareCase();
        const TimeValue now = ReadClock();
        captureState.changePending = c.pendingBefore;
        TimeValue last = c.last == NO_LAST ? 0 : (TimeValue)(now + c.last);
        PlaceholderFileAt(last);
        if (c.query == EVENT) {
            TimeValue start = c.start == ZERO_START ? 0 : (TimeValue)(now + c.start);
            TimeValue end = (TimeValue)(now + c.end);
            StandinSetEpg(ALPHA, StandinEventOf(start, end - start, 77, "Evening News", "Short", "Long"));
        } else {
            StandinEvent failure = {};
            failure.result = 2;
            StandinSetEpg(ALPHA, failure);
        }

        EXPECT_TRUE(Step());

        const EventRecord& written = captureState.snapshot;
        TimeValue expectedStart = 0;
        switch (c.expectedStart) {
        case EVENT_START: expectedStart = (TimeValue)(now + c.start); break;
        case NOW_LESS_ARMED_DELAY: expectedStart = now - 180; break;
        case LAST_START: expectedStart = last; break;
        case NOW: expectedStart = now; break;
        }
        EXPECT_EQ(expectedStart, written.start);
        EXPECT_EQ(expectedStart, captureState.lastDetailStart);
        EXPECT_STREQ(c.expectedName == EPG_NAME ? "Evening News" : "(NO EPG DATA)", written.eventName);
        EXPECT_EQ(c.pendingAfter, captureState.changePending);
        EXPECT_EQ(!c.superseded, FileExists(placeholderPath));
        // The new file is the last detail; the superseded one is gone from the record too.
        EXPECT_NE(std::string::npos, std::string(captureState.lastDetailPath).find(written.eventName));
        EXPECT_EQ(0u, ReadWholeFile(FromWindowsPath(captureState.lastDetailPath)).find(written.eventName));
        if (c.query == EVENT) {
            EXPECT_EQ(77u, written.eid); // a placeholder keeps the event's id, end and texts
            EXPECT_STREQ("Short", written.shortText);
        }
    }
}

TEST_F(DetailStepTest, EpgFailureRightAfterAChannelChange)
{
    captureState.changePending = 1;
    captureState.changeTime = ReadClock() - 180;
    EXPECT_TRUE(Step());
    EXPECT_EQ(ReadClock() - 180, captureState.snapshot.start);
    EXPECT_STREQ("(NO EPG DATA)", captureState.snapshot.eventName);
    EXPECT_EQ(0, captureState.changePending);
    EXPECT_EQ(180LL * 10000000, ArmedFor());
    EXPECT_EQ(ALPHA, StandinCallCounts().lastEpgKey);
    EXPECT_EQ(EPG_CURRENT_EVENT, StandinCallCounts().lastEpgQuery);
}

TEST_F(DetailStepTest, RepeatedFailuresRewriteOneFile)
{
    captureState.changePending = 1;
    EXPECT_TRUE(Step());
    std::string first = DetailFiles();
    std::string firstText = ReadWholeFile(PathOf(first.substr(0, first.size() - 1)));
    for (int i = 0; i < 5; ++i) {
        AdvanceManualClock(180LL * 10000000);
        EXPECT_TRUE(Step());
    }
    EXPECT_EQ(first, DetailFiles());
    std::string lastText = ReadWholeFile(PathOf(first.substr(0, first.size() - 1)));
    EXPECT_EQ(LineOf(firstText, "EventStart"), LineOf(lastText, "EventStart"));
    EXPECT_NE(LineOf(firstText, "NextEventDetail"), LineOf(lastText, "NextEventDetail"));
}

TEST_F(DetailStepTest, PlaceholderSupersededOnlyByAnEventThatCoversItsStart)
{
    captureState.changePending = 1;
    EXPECT_TRUE(Step()); // no EPG: a placeholder dated now - 180
    const TimeValue placeholderStart = captureState.lastDetailStart;
    std::string placeholder = DetailFiles();

    AdvanceManualClock(180LL * 10000000);
    TimeValue now = ReadClock();
    StandinSetEpg(ALPHA, StandinEventOf(placeholderStart + 1, 3600, 5, "Late Show", "", ""));
    EXPECT_TRUE(Step()); // starts after the placeholder: both files stay
    EXPECT_EQ(placeholder + "050408_201208 Alpha TV Late Show.txt\n", DetailFiles());
    EXPECT_EQ(1, captureState.changePending);

    // Back to no EPG, then an event that covers the placeholder's start.
    ResetRecords();
    UseDefaultSettings();
    TuneLiveEvent(ALPHA, "Alpha TV");
    captureState.armedDelay = 180;
    captureState.changePending = 0;
    strcpy(captureState.lastDetailPath, (ToWindowsPath(folder) + placeholder.substr(0, placeholder.size() - 1)).c_str());
    captureState.lastDetailStart = placeholderStart;
    StandinSetEpg(ALPHA, StandinEventOf(placeholderStart - 60, now - placeholderStart + 3600, 6, "Film", "", ""));
    EXPECT_TRUE(Step());
    EXPECT_EQ("050408_201107 Alpha TV Film.txt\n050408_201208 Alpha TV Late Show.txt\n", DetailFiles());
    EXPECT_EQ(1, captureState.changePending);
}

TEST_F(DetailStepTest, NextDetailIsDelayAfterTheEventsEnd)
{
    TimeValue now = ReadClock();
    StandinSetEpg(ALPHA, StandinEventOf(now - 100, 3600, 9, "Film", "", "")); // ends 3,500 s after now
    EXPECT_TRUE(Step());
    EXPECT_EQ(36800000000LL, ArmedFor());
    EXPECT_EQ(-36800000000LL, RelativeDueTime(3680));
    EXPECT_EQ(180, captureState.armedDelay);
}

TEST_F(DetailStepTest, DelayChangedBetweenArmingAndFiring)
{
    captureState.changePending = 1;
    captureState.armedDelay = 180; // armed with the old Delay
    settings.Delay = 300;
    EXPECT_TRUE(Step());
    EXPECT_EQ(ReadClock() - 180, captureState.snapshot.start); // dated by the delay it was armed with
    EXPECT_EQ(300LL * 10000000, ArmedFor());
    EXPECT_EQ(300, captureState.armedDelay);
}

TEST_F(DetailStepTest, DelayZeroIsFlooredAtOneSecond)
{
    settings.Delay = 0;
    EXPECT_TRUE(Step());
    EXPECT_EQ(10000000LL, ArmedFor());
    char stamp[32];
    std::string text = ReadWholeFile(PathOf(DetailFiles().substr(0, DetailFiles().size() - 1)));
    TimeValue next = ReadClock() + 1;
    struct tm local;
    time_t wide = next;
    localtime_r(&wide, &local);
    strftime(stamp, sizeof stamp, "%y%m%d %H%M%S", &local);
    EXPECT_EQ(stamp, LineOf(text, "NextEventDetail").substr(20, 13));
}

TEST_F(DetailStepTest, EventEndBeyondTheTimersRangeNeverSpins)
{
    TimeValue now = ReadClock();
    StandinSetEpg(ALPHA, StandinEventOf(now - 10, 0xF0000000u - now, 1, "Forever", "", ""));
    EXPECT_TRUE(Step());
    EXPECT_EQ(0x7FFFFFFFLL * 10000000, ArmedFor()); // never a due time in the past
}

TEST_F(DetailStepTest, EpgTextsWithoutTerminatorAreCut)
{
    StandinEvent event = StandinEventOf(ReadClock() - 10, 600, 1, "", "", "");
    memset(event.eventName, 'n', sizeof event.eventName);
    memset(event.shortText, 's', sizeof event.shortText);
    memset(event.longText, 'l', sizeof event.longText);
    StandinSetEpg(ALPHA, event);
    Step();
    EXPECT_EQ(std::string(255, 'n'), captureState.snapshot.eventName);
    EXPECT_EQ(std::string(255, 's'), captureState.snapshot.shortText);
    EXPECT_EQ(std::string(511, 'l'), captureState.snapshot.longText);
}

TEST_F(DetailStepTest, EventWithoutTextsKeepsEmptyTextsAndLanguage)
{
    StandinEvent event = StandinEventOf(ReadClock() - 10, 600, 1, "Ignored", "Ignored", "Ignored");
    event.hasText = 0;
    StandinSetEpg(ALPHA, event);
    Step();
    EXPECT_STREQ("", captureState.snapshot.eventName);
    EXPECT_STREQ("", captureState.snapshot.shortText);
    EXPECT_EQ(0u, captureState.snapshot.language);
    EXPECT_EQ(1u, captureState.snapshot.eid);
}

TEST_F(DetailStepTest, WholeStepGoldenForAnEventAndAPlaceholder)
{
    // The detail folder as the current folder, so that the golden files name no scratch folder.
    char previous[4096];
    ASSERT_NE(nullptr, getcwd(previous, sizeof previous));
    ASSERT_EQ(0, chdir(folder.c_str()));
    strcpy(settings.FileName, "D:\\Rec\\");
    strcpy(settings.AltDetPath, ".\\");
    strcpy(captureState.coreVersionText, "Stand-in core 1.0");
    captureState.changeTime = ReadClock() - 180;
    captureState.changePending = 1;
    StandinSetEpg(ALPHA, StandinEventOf(ReadClock() - 900, 2700, 0x1234, "Evening News?",
                                        " Headlines", "The day's news.\r\nWeather at the end.\r\n"));
    EXPECT_TRUE(Step());
    EXPECT_EQ("050408_200007 Alpha TV Evening News.txt\n", DetailFiles());
    EXPECT_EQ("", CompareWithGolden(ReadWholeFile(PathOf("050408_200007 Alpha TV Evening News.txt")), "step_event.txt"));

    AdvanceManualClock((1800 + 180) * 10000000LL); // the next detail, Delay after the event's end
    StandinEvent failure = {};
    failure.result = 1;
    StandinSetEpg(ALPHA, failure);
    EXPECT_TRUE(Step());
    EXPECT_EQ("", CompareWithGolden(ReadWholeFile(PathOf("050408_204507 Alpha TV (NO EPG DATA).txt")),
                                    "step_placeholder.txt"));
    EXPECT_EQ(0, chdir(previous));
}

TEST_F(DetailStepTest, UnwritableFolderStillArmsTheNextDetail)
{
    strcpy(settings.FileName, (ToWindowsPath(folder) + "missing\\").c_str());
    EXPECT_FALSE(Step());
    EXPECT_EQ(180LL * 10000000, ArmedFor());
    EXPECT_NE(std::string::npos, std::string(captureState.lastDetailPath).find("missing"));
}

TEST_F(DetailStepTest, TooLongPathWritesNothingAndCanSupersedeNothing)
{
    strcpy(settings.FileName, (ToWindowsPath(folder) + std::string(240, 'f') + "\\").c_str());
    EXPECT_FALSE(Step());
    EXPECT_STREQ("", captureState.lastDetailPath);
    EXPECT_EQ(180LL * 10000000, ArmedFor());
}

TEST_F(DetailStepTest, StoppedWorkerLeavesEverythingAsItIs)
{
    uint32_t generation = captureState.workerGeneration;
    captureState.workerGeneration++;
    EXPECT_FALSE(WriteDetail(generation, timer));
    EXPECT_EQ("", DetailFiles());
    EXPECT_EQ(0, ArmedFor());
    EXPECT_EQ(0, StandinCallCounts().epg);
}

} // namespace
