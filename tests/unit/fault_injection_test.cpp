// Failures of the platform and the host core in the middle of a running capture: each leaves the
// outcome the plug-in promises for it, keeps what it should keep, and the schedule goes on.
#include "capture/channel_change.h"
#include "capture/worker.h"
#include "platform/posix/dialog_control.h"
#include "platform/posix/platform_control.h"
#include "settings/setup_controls.h"
#include "settings/setup_dialog.h"
#include "tests/support/capture_fixture.h"
#include "tests/support/test_files.h"

#include <string.h>

#include <string>

namespace {

const int64_t SECOND = 10000000;
const int64_t MILLISECOND = 10000;
const uint32_t ALPHA = 0x00010002;
const HWND HOST_WINDOW = (HWND)(uintptr_t)0x00010ABC;
// Names of the details that a change at the fixture's start time (20:15:07) gives.
const char* const ALPHA_PLACEHOLDER = "050408_201507 Alpha TV (NO EPG DATA).txt";
const char* const ALPHA_NEWS = "050408_200507 Alpha TV News.txt"; // News began ten minutes earlier

class FaultInjectionTest : public CaptureFixture {
protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        PrepareChannels();
    }
    void TearDown() override
    {
        StopCapture();
        EXPECT_TRUE(WaitUntilIdle(5000));
        ResetDialogModel();
        CaptureFixture::TearDown();
    }
    // A fresh plug-in and folder for the next row of a table.
    void PrepareRow()
    {
        StopCapture();
        ASSERT_TRUE(WaitUntilIdle(5000));
        CaptureFixture::SetUp();
        PrepareChannels();
    }
    void PrepareChannels()
    {
        StandinSetNetworkId(1);
        StandinSetChannel(0, 2, "Alpha TV");
        StandinSetChannel(1, 3, "Beta TV");
        StandinSetCurrentChannel(0);
        t0 = ReadClock();
    }

    void AnswerEpg(DWORD result)
    {
        StandinEvent answer = {};
        answer.result = result;
        StandinSetEpg(ALPHA, answer);
    }
    // News from ten minutes before the change until 50 minutes after it.
    void AnswerNews() { StandinSetEpg(ALPHA, StandinEventOf(t0 - 600, 3600, 7, "News", "Headlines", "")); }
    std::string LastDetailName()
    {
        std::string last = captureState.lastDetailPath;
        std::string folderWindows = ToWindowsPath(folder);
        return last.compare(0, folderWindows.size(), folderWindows) == 0 ? last.substr(folderWindows.size()) : last;
    }
    static std::string LineOf(const std::string& text, const char* key)
    {
        size_t at = text.find(std::string("\r\n") + key);
        if (at == std::string::npos)
            return "(no line " + std::string(key) + ")";
        size_t end = text.find("\r\n", at + 2);
        return text.substr(at + 2, end - at - 2);
    }

    TimeValue t0 = 0;
};

// A file fault at the first detail of a stretch without EPG data. The detail still counts as
// written: the next step reuses its start, rewrites the same file whole, and keeps the timetable.
struct FileFaultCase {
    int row;
    PlatformFault fault;
    bool partialFileLeft;
};

const FileFaultCase FILE_FAULT_CASES[] = {
    {1, FAULT_CREATE_FILE, false},  // no file at all
    {2, FAULT_SHORT_WRITE, true},   // a full disk: half of the text
};

TEST_F(FaultInjectionTest, FileFaultsAreMadeGoodByTheNextStep)
{
    for (const FileFaultCase& c : FILE_FAULT_CASES) {
        SCOPED_TRACE(c.row);
        PrepareRow();
        StartCapture();
        ChangeTo(0);
        SetFault(c.fault, 1);
        Pass(180);
        EXPECT_EQ(c.partialFileLeft ? std::string(ALPHA_PLACEHOLDER) + "\n" : "", DetailFiles());
        EXPECT_EQ(ALPHA_PLACEHOLDER, LastDetailName());
        EXPECT_EQ(t0, captureState.lastDetailStart);
        EXPECT_EQ(0, captureState.changePending);
        EXPECT_EQ(180 * SECOND, TimerDueIn());
        std::string faulted = FileExists(PathOf(ALPHA_PLACEHOLDER)) ? ReadWholeFile(PathOf(ALPHA_PLACEHOLDER)) : "";

        Pass(180);
        EXPECT_EQ(std::string(ALPHA_PLACEHOLDER) + "\n", DetailFiles());
        std::string whole = ReadWholeFile(PathOf(ALPHA_PLACEHOLDER));
        EXPECT_EQ("\r\n\r\n", whole.substr(whole.size() - 4));
        if (c.partialFileLeft) {
            // Both texts have the same length: only the stamp of the next detail differs.
            EXPECT_EQ(whole.size() / 2, faulted.size());
            EXPECT_EQ(whole.substr(0, whole.find("NextEventDetail")), faulted.substr(0, whole.find("NextEventDetail")));
        }
        EXPECT_EQ(180 * SECOND, TimerDueIn());
        EXPECT_EQ(2, StandinCallCounts().epg);
    }
}

// Whatever non-zero code the EPG query gives, a placeholder detail dated at the change is written
// and rewritten each Delay, and the first real event covering its start takes its place.
const DWORD EPG_FAILURE_CODES[] = {1, 2, 0x80000000, 0xFFFFFFFF};

TEST_F(FaultInjectionTest, EpgFailureCodesThroughAWholeCycle)
{
    int row = 0;
    for (DWORD code : EPG_FAILURE_CODES) {
        SCOPED_TRACE(++row);
        PrepareRow();
        AnswerEpg(code);
        StartCapture();
        ChangeTo(0);
        Pass(180);
        EXPECT_EQ(std::string(ALPHA_PLACEHOLDER) + "\n", DetailFiles());
        EXPECT_EQ(0, captureState.changePending);
        EXPECT_EQ(180 * SECOND, TimerDueIn());
        Pass(180);
        EXPECT_EQ(std::string(ALPHA_PLACEHOLDER) + "\n", DetailFiles()); // rewritten, not a second file
        EXPECT_EQ(t0, captureState.lastDetailStart);

        AnswerNews();
        Pass(180);
        EXPECT_EQ(std::string(ALPHA_NEWS) + "\n", DetailFiles());
        EXPECT_EQ(1, captureState.changePending);
        EXPECT_EQ((3000 + 180 - 540) * SECOND, TimerDueIn()); // Delay after the end of News
        EXPECT_EQ(3, StandinCallCounts().epg);
    }
}

// A change whose DVBParams call fails takes no channel and arms nothing: the detail armed by the
// change before it still comes, for that channel, and the next change that succeeds takes over.
const DWORD PARAMS_FAILURE_CODES[] = {1, 0x3B00, 0xFFFFFFFF};

TEST_F(FaultInjectionTest, ParamsFailureLeavesTheArmedDetailInPlace)
{
    int row = 0;
    for (DWORD code : PARAMS_FAILURE_CODES) {
        SCOPED_TRACE(++row);
        PrepareRow();
        StartCapture();
        ChangeTo(0);
        Pass(100);
        StandinSetParamsResult(code);
        ChangeTo(1);
        EXPECT_EQ(ALPHA, captureState.liveEvent.nidsid);
        EXPECT_EQ(t0 + 100, captureState.changeTime);
        EXPECT_EQ(80 * SECOND, TimerDueIn());
        Pass(80);
        EXPECT_EQ(std::string(ALPHA_PLACEHOLDER) + "\n", DetailFiles());
        // The failed change still stamped its time: the recording start is the later moment.
        std::string text = ReadWholeFile(PathOf(ALPHA_PLACEHOLDER));
        EXPECT_EQ(0u, LineOf(text, "RecordingStart").find("RecordingStart    = 050408 201647"));

        StandinSetParamsResult(0);
        ChangeTo(1);
        Pass(180);
        EXPECT_EQ(std::string(ALPHA_PLACEHOLDER) + "\n050408_201807 Beta TV (NO EPG DATA).txt\n", DetailFiles());
    }
}

// The placeholder cannot be deleted when News covers its start: it stays, the last detail is News
// all the same (nothing later tries to delete the placeholder again), and the schedule goes on.
TEST_F(FaultInjectionTest, FailedDeletionLeavesThePlaceholderAndGoesOn)
{
    StartCapture();
    ChangeTo(0);
    Pass(180);
    ASSERT_EQ(std::string(ALPHA_PLACEHOLDER) + "\n", DetailFiles());
    std::string placeholder = ReadWholeFile(PathOf(ALPHA_PLACEHOLDER));

    AnswerNews();
    SetFault(FAULT_DELETE_FILE, 1);
    Pass(180);
    EXPECT_EQ(std::string(ALPHA_NEWS) + "\n" + ALPHA_PLACEHOLDER + "\n", DetailFiles());
    EXPECT_EQ(placeholder, ReadWholeFile(PathOf(ALPHA_PLACEHOLDER)));
    EXPECT_EQ(ALPHA_NEWS, LastDetailName());
    EXPECT_EQ(t0 - 600, captureState.lastDetailStart);
    EXPECT_EQ(1, captureState.changePending);
    EXPECT_EQ((3000 + 180 - 360) * SECOND, TimerDueIn());

    // Delay after News: it has ended and nothing follows it, so a placeholder dated at its end.
    Pass(3000 + 180 - 360);
    EXPECT_EQ(std::string(ALPHA_NEWS) + "\n" + ALPHA_PLACEHOLDER + "\n" + "050408_210507 Alpha TV (NO EPG DATA).txt\n",
              DetailFiles());
    EXPECT_EQ(placeholder, ReadWholeFile(PathOf(ALPHA_PLACEHOLDER)));
    EXPECT_EQ(180 * SECOND, TimerDueIn());
}

// The step writes its detail but cannot arm the timer: nothing follows until a channel change arms
// it again. (A change whose own arming fails is the capture cycle's case.)
TEST_F(FaultInjectionTest, FailedArmingAtTheStepWaitsForTheNextChange)
{
    AnswerNews();
    StartCapture();
    ChangeTo(0);
    SetFault(FAULT_SET_TIMER, 1);
    Pass(180);
    EXPECT_EQ(std::string(ALPHA_NEWS) + "\n", DetailFiles());
    EXPECT_EQ(-1, TimerDueIn());
    Pass(6 * 3600);
    EXPECT_EQ(1, StandinCallCounts().epg);

    ChangeTo(1);
    Pass(180);
    EXPECT_EQ(2, StandinCallCounts().epg);
    EXPECT_EQ(std::string(ALPHA_NEWS) + "\n" + "050409_021807 Beta TV (NO EPG DATA).txt\n", DetailFiles());
}

// The setup dialog on a host thread of its own, so that the test can move the clock through OK's pause.
struct HostScript {
    bool tickEnable;
    const char* delay;
    PlatformFault fault;          // made to fail once, right before OK; FAULT_COUNT: none
    bool clicked;
};

unsigned WINAPI RunOk(void* argument)
{
    HostScript* script = (HostScript*)argument;
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), SETUP_TEMPLATE_NAME, HOST_WINDOW, SetupDialogProc, 0);
    pluginContext.setupDialog = dialog;
    script->clicked = dialog != nullptr && (!script->tickEnable || ClickButton(dialog, IDC_ENABLE)) &&
                      TypeIntoControl(dialog, IDC_DELAY, script->delay);
    if (script->fault != FAULT_COUNT)
        SetFault(script->fault, 1); // here, so that starting this host thread does not take it
    script->clicked = script->clicked && ClickButton(dialog, IDOK);
    return 0;
}

class FaultInjectionSetupTest : public FaultInjectionTest {
protected:
    void SetUp() override
    {
        FaultInjectionTest::SetUp();
        PrepareSettings();
    }
    void PrepareSettings()
    {
        ResetDialogModel();
        settingsFile = MakeScratchFolder("fault-settings") + "Settings.ini";
        strcpy(pluginContext.settingsPath, ToWindowsPath(settingsFile).c_str());
        pluginContext.hostWindow = HOST_WINDOW;
    }

    // Runs OK on a host thread through its pause, if it makes one.
    void RunOkToTheEnd(HostScript& script)
    {
        HANDLE host = (HANDLE)_beginthreadex(nullptr, 0, RunOk, &script, 0, nullptr);
        ASSERT_NE(nullptr, host);
        ASSERT_TRUE(WaitUntilIdle(5000));
        DWORD exitCode = STILL_ACTIVE;
        if (GetExitCodeThread(host, &exitCode) && exitCode == STILL_ACTIVE)
            AdvanceManualClock(1000 * MILLISECOND);
        ASSERT_TRUE(WaitUntilIdle(5000));
        ASSERT_TRUE(GetExitCodeThread(host, &exitCode));
        EXPECT_EQ(0u, exitCode); // the host thread has come back from OK
        CloseHandle(host);
        EXPECT_TRUE(script.clicked);
        EXPECT_EQ(0, ListDialogs(nullptr, 0));
    }

    std::string settingsFile;
};

// Settings.ini cannot be written: OK still closes the dialog and what was typed is in force.
TEST_F(FaultInjectionSetupTest, FailedProfileWritingKeepsTheTypedSettingsInForce)
{
    const std::string hostIni = "[MyTheatre]\r\nSkin=Blue\r\n";
    WriteWholeFile(settingsFile, hostIni);
    settings.Enable = 1;
    StartCapture();
    SetFault(FAULT_WRITE_PROFILE, 100);
    HostScript script = {false, "60", FAULT_COUNT, false};
    RunOkToTheEnd(script);
    ClearFaults();
    EXPECT_EQ(hostIni, ReadWholeFile(settingsFile));
    EXPECT_EQ(60, settings.Delay);
    EXPECT_EQ(1, captureState.running);

    ChangeTo(0);
    Pass(59);
    EXPECT_EQ("", DetailFiles());
    Pass(1);
    std::string name = "050408_201507 Alpha TV (NO EPG DATA).txt";
    ASSERT_EQ(name + "\n", DetailFiles());
    EXPECT_EQ(0u, LineOf(ReadWholeFile(PathOf(name)), "Delay").find("Delay             = 60 "));
}

// OK that enables the capture cannot start it: the settings are saved, nothing runs, the object
// that was made stays for the next start, and the next OK starts the capture, whose first detail
// follows Delay seconds after its pause.
struct StartFaultCase {
    int row;
    PlatformFault fault;
    bool eventLeft;
    bool timerLeft;
};

const StartFaultCase START_FAULT_CASES[] = {
    {1, FAULT_CREATE_EVENT, false, true},
    {2, FAULT_CREATE_TIMER, true, false},
    {3, FAULT_THREAD_START, true, true},
};

TEST_F(FaultInjectionSetupTest, FailedStartFromTheDialogIsMadeGoodByTheNextOk)
{
    for (const StartFaultCase& c : START_FAULT_CASES) {
        SCOPED_TRACE(c.row);
        PrepareRow();
        PrepareSettings();
        settings.Enable = 0;
        HostScript first = {true, "60", c.fault, false};
        RunOkToTheEnd(first);
        EXPECT_EQ(0, captureState.running);
        EXPECT_EQ(nullptr, captureState.workerThread);
        EXPECT_EQ(c.eventLeft, captureState.stopEvent != nullptr);
        EXPECT_EQ(c.timerLeft, captureState.delayTimer != nullptr);
        EXPECT_EQ(0, CountPlatformThreads());
        EXPECT_EQ(0u, captureState.changeTime); // no change is taken without a running capture
        EXPECT_EQ(1, settings.Enable);
        EXPECT_NE(std::string::npos, ReadWholeFile(settingsFile).find("\r\nEnable=1\r\nDelay=60\r\n"));

        HostScript second = {false, "60", FAULT_COUNT, false}; // Enable is ticked already
        RunOkToTheEnd(second);
        EXPECT_EQ(1, captureState.running);
        EXPECT_EQ(60 * SECOND, TimerDueIn());
        Pass(60);
        EXPECT_EQ("050408_201509 Alpha TV (NO EPG DATA).txt\n", DetailFiles()); // after both pauses
    }
}

} // namespace
