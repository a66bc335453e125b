// A host that loads the stand-in core and then the plug-in, both shared objects under their Windows
// names, and drives the plug-in through its four exports alone: nothing of the plug-in is linked in.
#include "host/entry_points.h"
#include "platform/posix/dialog_control.h"
#include "platform/posix/platform_control.h"
#include "settings/setup_controls.h"
#include "standin/core.h"
#include "tests/support/test_files.h"
#include "tests/support/time_zone.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

namespace {

const int64_t SECOND = 10000000; // in 100 ns units
const uint16_t NETWORK_ID = 0x0085;
const uint16_t SERVICE_ID = 0x00C9;
const int CHANNEL_INDEX = 2;
const DWORD FILTER_RESULT = 0x00C0FFEE;
const int INFO_BUFFER_SIZE = 64;

// What the host looks up in the core it loaded: the scripting functions of the stand-in.
struct CoreScript {
    decltype(&StandinReset) reset;
    decltype(&StandinSetChannel) setChannel;
    decltype(&StandinSetCurrentChannel) setCurrentChannel;
    decltype(&StandinSetNetworkId) setNetworkId;
    decltype(&StandinSetFilterResult) setFilterResult;
    decltype(&StandinSetEpg) setEpg;
    decltype(&StandinEventOf) eventOf;
    decltype(&StandinCallCounts) callCounts;
    decltype(&StandinRegisteredCallback) registeredCallback;
    decltype(&StandinSetDelFilterHook) setDelFilterHook;
    decltype(&StandinNotify) notify;
};

// The plug-in's four exports, as a host finds them.
struct PluginExports {
    decltype(&DVBPLGGetInfo) getInfo;
    decltype(&DVBPLGInit) init;
    decltype(&DVBPLGCall) call;
    decltype(&DVBPLGClose) close;
};

template <typename Function>
bool LookUp(void* library, const char* name, Function* function)
{
    *function = (Function)dlsym(library, name);
    return *function != nullptr;
}

bool CopyFile(const std::string& from, const std::string& to)
{
    if (!FileExists(from))
        return false;
    WriteWholeFile(to, ReadWholeFile(from));
    return ReadWholeFile(to) == ReadWholeFile(from);
}

int threadsAtUnregister = -1;

void OnUnregister(DWORD) { threadsAtUnregister = CountPlatformThreads(); }

// The plug-in stays loaded once its worker has run (a thread holds its own library), so the host
// loads the pair once, from one folder, and every test runs a whole Init-to-Close lifetime in it.
class PluginLibraryTest : public ::testing::Test {
protected:
    // A failure here fails every test, rather than skipping them as a failed suite set-up would.
    static std::string LoadHost()
    {
        folder = MakeScratchFolder("plugin_library");
        std::string built = QUORVANE_PLUGIN_FOLDER;
        if (!CopyFile(built + "/DVBCore.dll", folder + "DVBCore.dll") ||
            !CopyFile(built + "/Quorvane.dll", folder + "Quorvane.dll"))
            return "cannot copy the libraries from " + built;
        // The core first and global, as a host's core is: the plug-in's five imports resolve to it.
        core = dlopen((folder + "DVBCore.dll").c_str(), RTLD_NOW | RTLD_GLOBAL);
        if (core == nullptr)
            return dlerror();
        plugin = dlopen((folder + "Quorvane.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (plugin == nullptr)
            return dlerror();
        bool found = LookUp(core, "StandinReset", &script.reset) && LookUp(core, "StandinSetChannel", &script.setChannel) &&
                     LookUp(core, "StandinSetCurrentChannel", &script.setCurrentChannel) &&
                     LookUp(core, "StandinSetNetworkId", &script.setNetworkId) &&
                     LookUp(core, "StandinSetFilterResult", &script.setFilterResult) &&
                     LookUp(core, "StandinSetEpg", &script.setEpg) && LookUp(core, "StandinEventOf", &script.eventOf) &&
                     LookUp(core, "StandinCallCounts", &script.callCounts) &&
                     LookUp(core, "StandinRegisteredCallback", &script.registeredCallback) &&
                     LookUp(core, "StandinSetDelFilterHook", &script.setDelFilterHook) &&
                     LookUp(core, "StandinNotify", &script.notify) &&
                     LookUp(plugin, "DVBPLGGetInfo", &exports.getInfo) && LookUp(plugin, "DVBPLGInit", &exports.init) &&
                     LookUp(plugin, "DVBPLGCall", &exports.call) && LookUp(plugin, "DVBPLGClose", &exports.close);
        return found ? "" : "a function is missing from the libraries";
    }

    void SetUp() override
    {
        static const std::string loadError = LoadHost();
        ASSERT_EQ(loadError, "");
        UseTimeZone(ZONE_CENTRAL_EUROPE);
        UseManualClock(LocalTimeValue(2005, 4, 8, 20, 15, 7));
        recordings = MakeScratchFolder("plugin_library_recordings");
        script.reset();
        script.setFilterResult(FILTER_RESULT);
        script.setChannel(CHANNEL_INDEX, SERVICE_ID, "Alpha TV");
        script.setCurrentChannel(CHANNEL_INDEX);
        script.setNetworkId(NETWORK_ID);
        uint32_t key = (uint32_t)NETWORK_ID << 16 | SERVICE_ID;
        script.setEpg(key, script.eventOf(LocalTimeValue(2005, 4, 8, 20, 0, 0), 3600, 4711, "Evening News",
                                          "Headlines", "The day's events."));
        threadsAtUnregister = -1;
        script.setDelFilterHook(OnUnregister);
    }

    void TearDown() override
    {
        if (script.setDelFilterHook != nullptr)
            script.setDelFilterHook(nullptr);
        ResetDialogModel();
        UseRealClock();
    }

    // Settings.ini beside DVBCore.dll, as the host keeps it.
    void WriteSettings(int enable, int delay)
    {
        WriteWholeFile(folder + "Settings.ini",
                       "[MyTheatre]\r\nFileName=" + ToWindowsPath(recordings) + "\r\n[Quorvane]\r\nEnable=" +
                           std::to_string(enable) + "\r\nDelay=" + std::to_string(delay) +
                           "\r\nDetFileNameSuffix=.nfo\r\n");
    }

    std::string ReadSettings() { return ReadWholeFile(folder + "Settings.ini"); }

    void RunFor(int64_t duration100ns) { ASSERT_TRUE(RunManualClockUntil(ClockNow100ns() + duration100ns)); }

    static std::string folder;
    static void* core;
    static void* plugin;
    static CoreScript script;
    static PluginExports exports;
    std::string recordings;
};

std::string PluginLibraryTest::folder;
void* PluginLibraryTest::core;
void* PluginLibraryTest::plugin;
CoreScript PluginLibraryTest::script;
PluginExports PluginLibraryTest::exports;

const char* const DETAIL_NAME = "050408_200000 Alpha TV Evening News.nfo";

TEST_F(PluginLibraryTest, InfoRecordIsItsTwentyOneBytesAndNothingBeyond)
{
    const uint8_t expected[PLUGIN_INFO_BYTES] = {0x01, 0x01, 0, 0, 0x44, 0xC0, 0, 0, 0, 0, 0, 0,
                                                 'Q', 'u', 'o', 'r', 'v', 'a', 'n', 'e', 0};
    uint8_t before[INFO_BUFFER_SIZE];
    memset(before, 0xFF, sizeof before);
    EXPECT_EQ(exports.getInfo(before), 1);
    EXPECT_EQ(memcmp(before, expected, sizeof expected), 0);
    for (int i = PLUGIN_INFO_BYTES; i < INFO_BUFFER_SIZE; ++i)
        EXPECT_EQ(before[i], 0xFF) << "byte " << i;

    // The record depends on nothing: the same after initialisation.
    WriteSettings(0, 1);
    EXPECT_EQ(exports.init(0, nullptr, 0), 1);
    uint8_t after[INFO_BUFFER_SIZE];
    memset(after, 0xFF, sizeof after);
    EXPECT_EQ(exports.getInfo(after), 1);
    EXPECT_EQ(memcmp(before, after, sizeof after), 0);
    EXPECT_EQ(exports.close(0), 1);
}

TEST_F(PluginLibraryTest, ChannelChangeGivesDetailFileDelaySecondsLater)
{
    WriteSettings(1, 1);
    EXPECT_EQ(exports.init(0, nullptr, 0), 1);
    ASSERT_NE(script.registeredCallback(), nullptr);
    EXPECT_EQ(script.callCounts().addFilter, 1);
    EXPECT_EQ(CountPlatformThreads(), 1);

    ASSERT_TRUE(script.notify(NOTIFY_CHANNEL_CHANGE));
    RunFor(SECOND - 1);
    EXPECT_FALSE(FileExists(recordings + DETAIL_NAME));
    RunFor(1);
    ASSERT_TRUE(FileExists(recordings + DETAIL_NAME));
    EXPECT_EQ(ReadWholeFile(recordings + DETAIL_NAME).rfind("Evening News\r\nHeadlines\r\n", 0), 0u);

    EXPECT_EQ(exports.close(0), 1);
    EXPECT_EQ(CountPlatformThreads(), 0);
    EXPECT_EQ(script.registeredCallback(), nullptr);
    EXPECT_EQ(script.callCounts().delFilter, 1);
    EXPECT_EQ(script.callCounts().lastDelFilterArgument, FILTER_RESULT);
}

TEST_F(PluginLibraryTest, EnableZeroRegistersTheCallbackAndStartsNoWorker)
{
    WriteSettings(0, 1);
    EXPECT_EQ(exports.init(0, nullptr, 0), 1);
    EXPECT_NE(script.registeredCallback(), nullptr);
    EXPECT_EQ(script.callCounts().addFilter, 1);
    EXPECT_EQ(CountPlatformThreads(), 0);
    EXPECT_EQ(script.callCounts().getCoreVer, 0);

    ASSERT_TRUE(script.notify(NOTIFY_CHANNEL_CHANGE));
    RunFor(10 * SECOND);
    EXPECT_EQ(script.callCounts().params, 0);
    EXPECT_FALSE(FileExists(recordings + DETAIL_NAME));

    EXPECT_EQ(exports.close(0), 1);
    EXPECT_EQ(script.callCounts().delFilter, 1);
}

TEST_F(PluginLibraryTest, NotificationsOtherThanChannelChangeArmNothing)
{
    // 0x80000001 closes a dialog, and there is none.
    const DWORD codes[] = {0x80000100, 0x80000102, 0x80000103, 0x80000001, 0x80000000,
                           0x00000101, 0x80000111, 0xFFFFFFFF, 0};
    WriteSettings(1, 1);
    EXPECT_EQ(exports.init(0, nullptr, 0), 1);
    for (DWORD code : codes)
        ASSERT_TRUE(script.notify(code)) << std::hex << code;
    RunFor(10 * SECOND);
    EXPECT_EQ(script.callCounts().params, 0);
    EXPECT_EQ(script.callCounts().epg, 0);
    EXPECT_FALSE(FileExists(recordings + DETAIL_NAME));
    EXPECT_EQ(CountPlatformThreads(), 1);

    // The plug-in was listening all along.
    ASSERT_TRUE(script.notify(NOTIFY_CHANNEL_CHANGE));
    RunFor(SECOND);
    EXPECT_TRUE(FileExists(recordings + DETAIL_NAME));
    EXPECT_EQ(exports.close(0), 1);
}

TEST_F(PluginLibraryTest, CloseWhileTheWorkerWaitsEndsItBeforeUnregistering)
{
    WriteSettings(1, 1);
    EXPECT_EQ(exports.init(0, nullptr, 0), 1);
    ASSERT_TRUE(script.notify(NOTIFY_CHANNEL_CHANGE));
    ASSERT_TRUE(WaitUntilIdle(10000));
    ASSERT_EQ(CountPlatformThreads(), 1);

    EXPECT_EQ(exports.close(0), 1);
    EXPECT_EQ(threadsAtUnregister, 0);
    EXPECT_EQ(CountPlatformThreads(), 0);
    EXPECT_EQ(script.callCounts().delFilter, 1);

    // The armed detail never comes, and a late notification reaches no one.
    RunFor(10 * SECOND);
    EXPECT_FALSE(FileExists(recordings + DETAIL_NAME));
    EXPECT_FALSE(script.notify(NOTIFY_CHANNEL_CHANGE));
}

std::string ControlText(HWND dialog, int id)
{
    WindowInfo info;
    return DescribeWindow(GetDlgItem(dialog, id), &info) ? info.text : "(no control)";
}

HWND OnlyDialog(void)
{
    HWND dialogs[2];
    return ListDialogs(dialogs, 2) == 1 ? dialogs[0] : nullptr;
}

TEST_F(PluginLibraryTest, SetupDialogOpensOnceAndTheHostsNotificationClosesItUnsaved)
{
    WriteSettings(0, 1);
    const std::string written = ReadSettings();
    EXPECT_EQ(exports.init(0, nullptr, 0), 1);
    EXPECT_EQ(exports.call(0, 0), 1);
    HWND dialog = OnlyDialog();
    ASSERT_NE(dialog, nullptr);
    WindowInfo info;
    ASSERT_TRUE(DescribeWindow(dialog, &info));
    EXPECT_STREQ(info.text, "Quorvane v1.0");
    EXPECT_TRUE(info.shown);
    EXPECT_EQ(info.controlCount, 20);
    EXPECT_EQ(ControlText(dialog, IDC_DELAY), "1");

    // A second call while it is open changes nothing: one dialog, as the user left it.
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, "7"));
    EXPECT_EQ(exports.call(0, 0), 1);
    EXPECT_EQ(OnlyDialog(), dialog);
    EXPECT_EQ(ControlText(dialog, IDC_DELAY), "7");

    for (DWORD code : {0x80000100u, 0x80000102u, 0x80000103u, 0x00000001u})
        ASSERT_TRUE(script.notify(code));
    EXPECT_EQ(OnlyDialog(), dialog);

    ASSERT_TRUE(script.notify(NOTIFY_CLOSE_SETUP));
    PumpThreadMessages();
    EXPECT_EQ(ListDialogs(nullptr, 0), 0);
    EXPECT_EQ(ReadSettings(), written);

    // The next call opens a new dialog, filled from the settings rather than from the closed one.
    EXPECT_EQ(exports.call(0, 0), 1);
    dialog = OnlyDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDC_DELAY), "1");
    EXPECT_EQ(exports.close(0), 1);
}

TEST_F(PluginLibraryTest, SetupDialogOkRewritesTheSettingsBesideTheCore)
{
    WriteWholeFile(folder + "Settings.ini", "[MyTheatre]\r\nLanguage=English\r\nFileName=" + ToWindowsPath(recordings) +
                                                "\r\n[Quorvane]\r\nEnable=1\r\nDelay=1\r\n");
    EXPECT_EQ(exports.init(0, nullptr, 0), 1);
    EXPECT_EQ(exports.call(0, 0), 1);
    HWND dialog = OnlyDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, "5"));
    ASSERT_TRUE(ClickButton(dialog, IDC_ALT_FILE_NAMING));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DVB_DEVICE_NAME, "Tuner A"));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_COMMENT, "Wine run"));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_REC_FILE_NAMING, "%C %T"));
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    PumpThreadMessages();
    EXPECT_EQ(ListDialogs(nullptr, 0), 0);
    // The same file as the Windows test host finds after the same edits under Wine.
    EXPECT_EQ(ReadSettings(), "[MyTheatre]\r\nLanguage=English\r\nFileName=" + ToWindowsPath(recordings) +
                                  "\r\nRecFileNaming=%C %T\r\n[Quorvane]\r\nEnable=1\r\nDelay=5\r\nAltFileNaming=1\r\n"
                                  "AltDetPath=\r\nRecFileNameSuffix=.mpg\r\nDetFileNameSuffix=.txt\r\n"
                                  "DVBDevice_Name=Tuner A\r\nComment=Wine run\r\n");
    EXPECT_EQ(exports.close(0), 1);
}

} // namespace
