// The setup dialog on the headless dialog model: filling, reading and checking the fields, OK, Cancel
// and the close box, and the capture worker started or stopped to match the Enable box.
#include "capture/capture_lock.h"
#include "capture/channel_change.h"
#include "capture/worker.h"
#include "platform/posix/dialog_control.h"
#include "platform/posix/platform_control.h"
#include "settings/settings_file.h"
#include "settings/setup_controls.h"
#include "settings/setup_dialog.h"
#include "tests/support/capture_fixture.h"
#include "tests/support/test_files.h"

#include <string.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

const int64_t SECOND = 10000000;
const int64_t MILLISECOND = 10000;
const HWND HOST_WINDOW = (HWND)(uintptr_t)0x00010ABC;
const char* const DELAY_MESSAGE = "Invalid Delay value. Must be in range 1 to 32767 seconds.";
const char* const ALT_DET_PATH_MESSAGE = "AltDetPath must end with a trailing backslash.";
const char* const RECORDING_PATH_MESSAGE = "RecordingPath must end with a trailing backslash.";
const char* const HOST_INI = "[MyTheatre]\r\nSkin=Blue\r\nFileName=D:\\Old\\\r\n";

// Settings.ini as a save writes it into a file that did not exist.
std::string SavedIni(const Settings& s)
{
    return std::string("[MyTheatre]\r\nFileName=") + s.FileName + "\r\nRecFileNaming=" + s.RecFileNaming +
           "\r\n[Quorvane]\r\nEnable=" + std::to_string(s.Enable) + "\r\nDelay=" + std::to_string(s.Delay) +
           "\r\nAltFileNaming=" + std::to_string(s.AltFileNaming) + "\r\nAltDetPath=" + s.AltDetPath +
           "\r\nRecFileNameSuffix=" + s.RecFileNameSuffix + "\r\nDetFileNameSuffix=" + s.DetFileNameSuffix +
           "\r\nDVBDevice_Name=" + s.DVBDevice_Name + "\r\nComment=" + s.Comment + "\r\n";
}

std::string ControlText(HWND dialog, int id)
{
    WindowInfo info;
    return DescribeWindow(GetDlgItem(dialog, id), &info) ? std::string(info.text) : std::string("(no control)");
}

int ControlCheck(HWND dialog, int id)
{
    WindowInfo info;
    return DescribeWindow(GetDlgItem(dialog, id), &info) ? info.check : -1;
}

class SetupDialogTest : public CaptureFixture {
protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        ResetDialogModel();
        settingsFolder = MakeScratchFolder("setup");
        settingsFile = settingsFolder + "Settings.ini";
        strcpy(pluginContext.settingsPath, ToWindowsPath(settingsFile).c_str());
        pluginContext.hostWindow = HOST_WINDOW;
        // The worker is off unless a test turns it on, so that OK never pauses the test's thread.
        settings.Enable = 0;
        StandinSetNetworkId(1);
        StandinSetChannel(0, 2, "Alpha TV");
        StandinSetCurrentChannel(0);
    }
    void TearDown() override
    {
        StopCapture();
        EXPECT_TRUE(WaitUntilIdle(5000));
        ResetDialogModel();
        CaptureFixture::TearDown();
    }

    // What DVBPLGCall does, on the calling thread.
    HWND OpenDialog()
    {
        pluginContext.setupDialog = CreateDialogParamA(GetModuleHandleA(nullptr), SETUP_TEMPLATE_NAME,
                                                       pluginContext.hostWindow, SetupDialogProc, 0);
        return pluginContext.setupDialog;
    }

    void ExpectRefused(HWND dialog, const char* message, const Settings& before, const std::string& fileBefore)
    {
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_EQ(dialog, pluginContext.setupDialog);
        EXPECT_EQ(0, memcmp(&before, &settings, sizeof settings)) << "a refused OK changed the settings";
        EXPECT_EQ(fileBefore, ReadWholeFile(settingsFile));
        ASSERT_EQ(1, CountMessageBoxes());
        MessageBoxRecord shown;
        ASSERT_TRUE(ReadMessageBox(0, &shown));
        EXPECT_STREQ(message, shown.text);
        EXPECT_STREQ("Error", shown.caption);
        EXPECT_EQ(MB_ICONERROR, shown.type);
        EXPECT_EQ(dialog, shown.owner);
    }

    void ExpectClosed(HWND dialog)
    {
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(nullptr, pluginContext.setupDialog);
        EXPECT_EQ(0, ListDialogs(nullptr, 0));
    }

    std::string settingsFolder;
    std::string settingsFile;
};

// The template as the document of the dialog gives it, row for row in tab order.
struct ControlRow {
    int row;
    int id;
    const char* className;
    const char* text;
    DWORD style;
    short x, y, width, height;
};

const DWORD CHILD = WS_CHILD | WS_VISIBLE;
const ControlRow TEMPLATE_ROWS[] = {
    {1, 10, "Button", "Enable", CHILD | BS_AUTOCHECKBOX | WS_TABSTOP, 10, 6, 60, 9},
    {2, 0, "Static", "Delay", CHILD | SS_LEFT, 10, 20, 60, 10},
    {3, 11, "Edit", "180", CHILD | ES_RIGHT | WS_BORDER | WS_TABSTOP, 80, 20, 50, 12},
    {4, 12, "Button", "AltFileNaming", CHILD | BS_AUTOCHECKBOX | WS_TABSTOP, 10, 37, 60, 9},
    {5, 0, "Static", "AltDetPath", CHILD | SS_LEFT, 10, 51, 60, 9},
    {6, 13, "Edit", "", CHILD | ES_LEFT | WS_BORDER | WS_TABSTOP, 80, 51, 216, 12},
    {7, 0, "Static", "RecFileNameSuffix", CHILD | SS_LEFT, 10, 68, 60, 9},
    {8, 14, "Edit", ".mpg", CHILD | ES_LEFT | WS_BORDER | WS_TABSTOP, 80, 68, 216, 12},
    {9, 0, "Static", "DetFileNameSuffix", CHILD | SS_LEFT, 10, 85, 60, 9},
    {10, 15, "Edit", ".txt", CHILD | ES_LEFT | WS_BORDER | WS_TABSTOP, 80, 85, 216, 12},
    {11, 0, "Static", "DVBDevice_Name", CHILD | SS_LEFT, 10, 102, 60, 9},
    {12, 16, "Edit", "", CHILD | ES_LEFT | WS_BORDER | WS_TABSTOP, 80, 102, 216, 12},
    {13, 0, "Static", "Comment", CHILD | SS_LEFT, 10, 119, 60, 9},
    {14, 17, "Edit", "", CHILD | ES_LEFT | WS_BORDER | WS_TABSTOP, 80, 119, 216, 12},
    {15, 0, "Static", "RecordingPath", CHILD | SS_LEFT, 10, 136, 60, 9},
    {16, 18, "Edit", "", CHILD | ES_LEFT | WS_BORDER | WS_TABSTOP, 80, 136, 216, 12},
    {17, 0, "Static", "RecFileNaming", CHILD | SS_LEFT, 10, 153, 60, 9},
    {18, 19, "Edit", "", CHILD | ES_LEFT | WS_BORDER | WS_TABSTOP, 80, 153, 216, 12},
    {19, 1, "Button", "OK", CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 190, 180, 50, 14},
    {20, 2, "Button", "Cancel", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 246, 180, 50, 14},
};

// Without a dialog procedure nothing replaces the template's own texts.
TEST_F(SetupDialogTest, TemplateHasTheTwentyControlsInTabOrder)
{
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), "qrv_Setup", HOST_WINDOW, nullptr, 0);
    ASSERT_NE(nullptr, dialog);
    WindowInfo info;
    ASSERT_TRUE(DescribeWindow(dialog, &info));
    EXPECT_EQ(WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, info.style);
    EXPECT_EQ(0u, info.style & (WS_POPUP | WS_CHILD));
    EXPECT_STREQ("Quorvane v1.0", info.text);
    EXPECT_EQ(31, info.x);
    EXPECT_EQ(32, info.y);
    EXPECT_EQ(300, info.width);
    EXPECT_EQ(198, info.height);
    EXPECT_EQ(HOST_WINDOW, info.owner);
    EXPECT_TRUE(info.shown);
    ASSERT_EQ(20, info.controlCount);
    for (const ControlRow& row : TEMPLATE_ROWS) {
        SCOPED_TRACE(row.row);
        WindowInfo control;
        ASSERT_TRUE(DescribeWindow(GetDialogControlAt(dialog, row.row - 1), &control));
        EXPECT_EQ(row.id, control.id);
        EXPECT_STREQ(row.className, control.className);
        EXPECT_STREQ(row.text, control.text);
        EXPECT_EQ(row.style, control.style);
        EXPECT_EQ(0u, control.style & WS_GROUP);
        EXPECT_EQ(row.x, control.x);
        EXPECT_EQ(row.y, control.y);
        EXPECT_EQ(row.width, control.width);
        EXPECT_EQ(row.height, control.height);
        EXPECT_EQ(BST_UNCHECKED, control.check);
        EXPECT_EQ(dialog, control.parent);
    }
}

TEST_F(SetupDialogTest, FilledFromSettings)
{
    settings.Enable = 1;
    settings.Delay = 40000; // loaded from the file: shown as it stands
    settings.AltFileNaming = 1;
    strcpy(settings.AltDetPath, "E:\\Details\\");
    strcpy(settings.RecFileNameSuffix, ".ts");
    settings.DetFileNameSuffix[0] = '\0';
    strcpy(settings.DVBDevice_Name, "Card 2");
    strcpy(settings.Comment, std::string(255, 'c').c_str());
    strcpy(settings.FileName, "D:\\Rec\\");
    strcpy(settings.RecFileNaming, "%C %D");
    Settings before = settings;
    HWND dialog = OpenDialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(BST_CHECKED, ControlCheck(dialog, IDC_ENABLE));
    EXPECT_EQ("40000", ControlText(dialog, IDC_DELAY));
    EXPECT_EQ(BST_CHECKED, ControlCheck(dialog, IDC_ALT_FILE_NAMING));
    EXPECT_EQ("E:\\Details\\", ControlText(dialog, IDC_ALT_DET_PATH));
    EXPECT_EQ(".ts", ControlText(dialog, IDC_REC_FILE_NAME_SUFFIX));
    EXPECT_EQ("", ControlText(dialog, IDC_DET_FILE_NAME_SUFFIX));
    EXPECT_EQ("Card 2", ControlText(dialog, IDC_DVB_DEVICE_NAME));
    EXPECT_EQ(std::string(255, 'c'), ControlText(dialog, IDC_COMMENT));
    EXPECT_EQ("D:\\Rec\\", ControlText(dialog, IDC_RECORDING_PATH));
    EXPECT_EQ("%C %D", ControlText(dialog, IDC_REC_FILE_NAMING));
    EXPECT_EQ(0, memcmp(&before, &settings, sizeof settings));
    EXPECT_FALSE(FileExists(settingsFile)); // opening saves nothing
    EXPECT_EQ(0, CountMessageBoxes());
}

TEST_F(SetupDialogTest, ClearSettingsLeaveTheBoxesClear)
{
    settings.Enable = 0;
    settings.AltFileNaming = 0;
    settings.Delay = 0;
    HWND dialog = OpenDialog();
    EXPECT_EQ(BST_UNCHECKED, ControlCheck(dialog, IDC_ENABLE));
    EXPECT_EQ(BST_UNCHECKED, ControlCheck(dialog, IDC_ALT_FILE_NAMING));
    EXPECT_EQ("0", ControlText(dialog, IDC_DELAY));
}

// A Delay that the file gave but the dialog would not accept is shown as it is and refused until the
// user corrects it.
TEST_F(SetupDialogTest, LoadedDelayOutOfRangeIsRefusedUntilCorrected)
{
    const int loaded[] = {0, 40000, 65535};
    for (int delay : loaded) {
        SCOPED_TRACE(delay);
        ClearMessageBoxes();
        settings.Delay = delay;
        HWND dialog = OpenDialog();
        EXPECT_EQ(std::to_string(delay), ControlText(dialog, IDC_DELAY));
        Settings before = settings;
        ASSERT_TRUE(ClickButton(dialog, IDOK));
        ExpectRefused(dialog, DELAY_MESSAGE, before, "");
        ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, "300"));
        ASSERT_TRUE(ClickButton(dialog, IDOK));
        ExpectClosed(dialog);
        EXPECT_EQ(300, settings.Delay);
        EXPECT_EQ(SavedIni(settings), ReadWholeFile(settingsFile));
        remove(settingsFile.c_str());
    }
}

struct DelayCase {
    int row;
    const char* text;
    int delay;                    // 0: refused
};

const DelayCase DELAY_CASES[] = {
    {1, "32767", 32767},
    {2, "1", 1},
    {3, "32768", 0},
    {4, "0", 0},
    {5, "-5", 0},
    {6, "abc", 0},
    {7, "", 0},
    {8, "  42", 42},
    {9, "42 a", 42},
    {10, "+42", 42},
    {11, "4294967297", 0},            // 2^32 + 1 must not wrap to 1
    {12, "4294967338", 0},            // 2^32 + 42
    {13, "-4294967295", 0},           // would wrap to 1
    {14, "18446744073709551658", 0},  // 2^64 + 42
    {15, "99999999999999999999999999999999", 0},
    {16, "\t\r\n 7", 7},
    {17, "0042", 42},
    {18, "+-5", 0},
    {19, "- 5", 0},
    {20, "-0", 0},
    {21, "180s", 180},
    {22, "0x10", 0},
    {23, "32767.9", 32767},
};

TEST_F(SetupDialogTest, DelayTexts)
{
    for (const DelayCase& c : DELAY_CASES) {
        SCOPED_TRACE(c.row);
        remove(settingsFile.c_str());
        ClearMessageBoxes();
        UseDefaultSettings();
        settings.Enable = 0;
        HWND dialog = OpenDialog();
        ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, c.text));
        Settings before = settings;
        ASSERT_TRUE(ClickButton(dialog, IDOK));
        if (c.delay == 0) {
            ExpectRefused(dialog, DELAY_MESSAGE, before, "");
            EXPECT_FALSE(FileExists(settingsFile));
            EXPECT_EQ(c.text, ControlText(dialog, IDC_DELAY)); // what the user typed stays
            ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
        } else {
            ExpectClosed(dialog);
            EXPECT_EQ(0, CountMessageBoxes());
            EXPECT_EQ(c.delay, settings.Delay);
            EXPECT_EQ(SavedIni(settings), ReadWholeFile(settingsFile));
        }
    }
}

// The three checks in their order; the first that fails is the only message.
struct CheckCase {
    int row;
    const char* delay;
    const char* altDetPath;
    const char* recordingPath;
    const char* message;          // null: accepted
};

const CheckCase CHECK_CASES[] = {
    {1, "60", "", "", nullptr},
    {2, "60", "E:\\Details\\", "D:\\Rec\\", nullptr},
    {3, "60", "E:\\Details", "D:\\Rec\\", ALT_DET_PATH_MESSAGE},
    {4, "60", "E:\\Details\\", "D:\\Rec", RECORDING_PATH_MESSAGE},
    {5, "60", "E:\\Details", "D:\\Rec", ALT_DET_PATH_MESSAGE},
    {6, "0", "E:\\Details", "D:\\Rec", DELAY_MESSAGE},
    {7, "60", "E:\\Details/", "", ALT_DET_PATH_MESSAGE},
    {8, "60", "\\", "\\", nullptr},
    {9, "60", " ", "", ALT_DET_PATH_MESSAGE},
    {10, "60", "", "D:\\Rec\\ ", RECORDING_PATH_MESSAGE},
    {11, "60", "", "\\\\server\\share\\", nullptr},
};

TEST_F(SetupDialogTest, FolderChecksAndTheirOrder)
{
    for (const CheckCase& c : CHECK_CASES) {
        SCOPED_TRACE(c.row);
        WriteWholeFile(settingsFile, HOST_INI);
        ClearMessageBoxes();
        UseDefaultSettings();
        settings.Enable = 0;
        HWND dialog = OpenDialog();
        ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, c.delay));
        ASSERT_TRUE(TypeIntoControl(dialog, IDC_ALT_DET_PATH, c.altDetPath));
        ASSERT_TRUE(TypeIntoControl(dialog, IDC_RECORDING_PATH, c.recordingPath));
        Settings before = settings;
        ASSERT_TRUE(ClickButton(dialog, IDOK));
        if (c.message != nullptr) {
            ExpectRefused(dialog, c.message, before, HOST_INI);
            EXPECT_EQ(c.altDetPath, ControlText(dialog, IDC_ALT_DET_PATH));
            EXPECT_EQ(c.recordingPath, ControlText(dialog, IDC_RECORDING_PATH));
            ASSERT_TRUE(ClickCloseBox(dialog));
        } else {
            ExpectClosed(dialog);
            EXPECT_STREQ(c.altDetPath, settings.AltDetPath);
            EXPECT_STREQ(c.recordingPath, settings.FileName);
            EXPECT_EQ(std::string("[MyTheatre]\r\nSkin=Blue\r\nFileName=") + c.recordingPath +
                          "\r\nRecFileNaming=\r\n[Quorvane]\r\nEnable=0\r\nDelay=60\r\nAltFileNaming=0\r\n"
                          "AltDetPath=" + c.altDetPath + "\r\nRecFileNameSuffix=.mpg\r\nDetFileNameSuffix=.txt\r\n"
                          "DVBDevice_Name=\r\nComment=\r\n",
                      ReadWholeFile(settingsFile));
        }
    }
}

// Every field edited, then refused at the last check: nothing is taken, nothing saved, the dialog
// keeps all that was typed; a corrected second OK reads every field again.
TEST_F(SetupDialogTest, RefusedOkChangesNothingAndASecondOkReadsEverything)
{
    WriteWholeFile(settingsFile, HOST_INI);
    HWND dialog = OpenDialog();
    ASSERT_TRUE(ClickButton(dialog, IDC_ALT_FILE_NAMING));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, "75"));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_ALT_DET_PATH, "E:\\Details\\"));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_REC_FILE_NAME_SUFFIX, ""));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DET_FILE_NAME_SUFFIX, ".nfo"));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DVB_DEVICE_NAME, "Card 2"));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_COMMENT, "Living room"));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_RECORDING_PATH, "D:\\Rec"));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_REC_FILE_NAMING, "%C"));
    Settings before = settings;
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    ExpectRefused(dialog, RECORDING_PATH_MESSAGE, before, HOST_INI);
    EXPECT_EQ(BST_CHECKED, ControlCheck(dialog, IDC_ALT_FILE_NAMING));
    EXPECT_EQ("75", ControlText(dialog, IDC_DELAY));
    EXPECT_EQ("E:\\Details\\", ControlText(dialog, IDC_ALT_DET_PATH));
    EXPECT_EQ("", ControlText(dialog, IDC_REC_FILE_NAME_SUFFIX));
    EXPECT_EQ(".nfo", ControlText(dialog, IDC_DET_FILE_NAME_SUFFIX));
    EXPECT_EQ("Card 2", ControlText(dialog, IDC_DVB_DEVICE_NAME));
    EXPECT_EQ("Living room", ControlText(dialog, IDC_COMMENT));
    EXPECT_EQ("D:\\Rec", ControlText(dialog, IDC_RECORDING_PATH));
    EXPECT_EQ("%C", ControlText(dialog, IDC_REC_FILE_NAMING));

    ASSERT_TRUE(TypeIntoControl(dialog, IDC_RECORDING_PATH, "D:\\Rec\\"));
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    ExpectClosed(dialog);
    EXPECT_EQ(1, CountMessageBoxes());
    EXPECT_EQ(0, settings.Enable);
    EXPECT_EQ(75, settings.Delay);
    EXPECT_EQ(1, settings.AltFileNaming);
    EXPECT_STREQ("E:\\Details\\", settings.AltDetPath);
    EXPECT_STREQ("", settings.RecFileNameSuffix);
    EXPECT_STREQ(".nfo", settings.DetFileNameSuffix);
    EXPECT_STREQ("Card 2", settings.DVBDevice_Name);
    EXPECT_STREQ("Living room", settings.Comment);
    EXPECT_STREQ("D:\\Rec\\", settings.FileName);
    EXPECT_STREQ("%C", settings.RecFileNaming);
    EXPECT_EQ("[MyTheatre]\r\nSkin=Blue\r\nFileName=D:\\Rec\\\r\nRecFileNaming=%C\r\n"
              "[Quorvane]\r\nEnable=0\r\nDelay=75\r\nAltFileNaming=1\r\nAltDetPath=E:\\Details\\\r\n"
              "RecFileNameSuffix=\r\nDetFileNameSuffix=.nfo\r\nDVBDevice_Name=Card 2\r\nComment=Living room\r\n",
              ReadWholeFile(settingsFile));
}

// Texts longer than their read sizes are cut to size - 1 characters without a word; a folder text is
// checked as cut.
TEST_F(SetupDialogTest, LongTextsAreCutToTheirReadSizes)
{
    std::string folder600 = std::string(510, 'a') + "\\" + std::string(89, 'z');
    HWND dialog = OpenDialog();
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, (std::string(600, ' ') + "9").c_str()));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_ALT_DET_PATH, folder600.c_str()));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_RECORDING_PATH, folder600.c_str()));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_REC_FILE_NAME_SUFFIX, std::string(64, 's').c_str()));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DET_FILE_NAME_SUFFIX, std::string(63, 'd').c_str()));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DVB_DEVICE_NAME, std::string(256, 'v').c_str()));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_COMMENT, std::string(255, 'c').c_str()));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_REC_FILE_NAMING, std::string(1000, 'n').c_str()));
    Settings before = settings;
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    // 600 blanks and a digit: the Delay box is read at 512, so only blanks remain: refused.
    ExpectRefused(dialog, DELAY_MESSAGE, before, "");
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, (std::string(510, ' ') + "9").c_str()));
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    ExpectClosed(dialog);
    EXPECT_EQ(9, settings.Delay);
    EXPECT_EQ(folder600.substr(0, 511), settings.AltDetPath);
    EXPECT_EQ(folder600.substr(0, 511), settings.FileName);
    EXPECT_EQ(std::string(63, 's'), settings.RecFileNameSuffix);   // one short
    EXPECT_EQ(std::string(63, 'd'), settings.DetFileNameSuffix);   // exact fit
    EXPECT_EQ(std::string(255, 'v'), settings.DVBDevice_Name);
    EXPECT_EQ(std::string(255, 'c'), settings.Comment);
    EXPECT_EQ(std::string(255, 'n'), settings.RecFileNaming);
    EXPECT_EQ(SavedIni(settings), ReadWholeFile(settingsFile));
}

struct CloseCase {
    int row;
    const char* how;
};

TEST_F(SetupDialogTest, CancelAndTheCloseBoxSaveNothing)
{
    const CloseCase cases[] = {{1, "Cancel"}, {2, "close box"}, {3, "posted WM_CLOSE"}};
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.row);
        WriteWholeFile(settingsFile, HOST_INI);
        Settings before = settings;
        HWND dialog = OpenDialog();
        ASSERT_TRUE(ClickButton(dialog, IDC_ENABLE));
        ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, "33"));
        ASSERT_TRUE(TypeIntoControl(dialog, IDC_COMMENT, "not kept"));
        if (c.row == 1) {
            ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
        } else if (c.row == 2) {
            ASSERT_TRUE(ClickCloseBox(dialog));
        } else {
            ASSERT_TRUE(PostMessageA(dialog, WM_CLOSE, 0, 0));
            EXPECT_TRUE(IsWindow(dialog)); // nothing happens until the thread's queue is pumped
            EXPECT_EQ(1, PumpThreadMessages());
        }
        ExpectClosed(dialog);
        EXPECT_EQ(0, memcmp(&before, &settings, sizeof settings));
        EXPECT_EQ(HOST_INI, ReadWholeFile(settingsFile));
        EXPECT_EQ(0, CountPlatformThreads());
        EXPECT_EQ(0, CountMessageBoxes());
    }
}

// The procedure's answers: 1 for what it handles, 0 for the rest; only the low word of a command
// counts.
TEST_F(SetupDialogTest, ProcedureAnswers)
{
    struct MessageCase { int row; UINT message; WPARAM wParam; INT_PTR result; bool closes; };
    const MessageCase cases[] = {
        {1, WM_COMMAND, MAKEWPARAM(IDC_ENABLE, BN_CLICKED), 1, false},
        {2, WM_COMMAND, MAKEWPARAM(IDC_DELAY, EN_CHANGE), 1, false},
        {3, WM_COMMAND, MAKEWPARAM(IDC_LABEL, 0), 1, false},
        {4, WM_COMMAND, MAKEWPARAM(99, 0), 1, false},
        {5, WM_APP, 0, 0, false},
        {6, WM_SETTEXT, 0, 0, false},
        {7, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0x1234), 1, true},
        {8, WM_COMMAND, MAKEWPARAM(IDOK, 0x5678), 1, true},
        {9, WM_CLOSE, 0, 1, true},
        {10, WM_INITDIALOG, 0, 1, false},
    };
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.row);
        remove(settingsFile.c_str());
        HWND dialog = OpenDialog();
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(c.result, SetupDialogProc(dialog, c.message, c.wParam, (LPARAM)HOST_WINDOW));
        EXPECT_EQ(!c.closes, IsWindow(dialog) != FALSE);
        EXPECT_EQ(c.closes ? nullptr : dialog, pluginContext.setupDialog);
        EXPECT_EQ(c.row == 8, FileExists(settingsFile)); // only OK saves
        if (!c.closes)
            ClickButton(dialog, IDCANCEL);
    }
}

// Sent again, WM_INITDIALOG refills every control from the settings as they are now.
TEST_F(SetupDialogTest, InitialisingAgainRefillsTheControls)
{
    HWND dialog = OpenDialog();
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_COMMENT, "typed"));
    strcpy(settings.Comment, "from settings");
    EXPECT_EQ(1, SendMessageA(dialog, WM_INITDIALOG, 0, 0));
    EXPECT_EQ("from settings", ControlText(dialog, IDC_COMMENT));
}

// A message box is open while the worker may want the lock: the lock must not be held then. The
// probe outlives a thread left blocked on a held lock.
struct LockProbe {
    std::mutex mutex;
    std::condition_variable done;
    bool locked = false;
};

std::atomic<bool> lockFreeDuringMessageBox;

void TryLockFromAnotherThread(const MessageBoxRecord*)
{
    std::shared_ptr<LockProbe> probe = std::make_shared<LockProbe>();
    std::thread other([probe] {
        LockCapture();
        UnlockCapture();
        std::lock_guard<std::mutex> guard(probe->mutex);
        probe->locked = true;
        probe->done.notify_all();
    });
    std::unique_lock<std::mutex> wait(probe->mutex);
    // A bound against a hang when the lock is held, not a timing: the other thread needs no time.
    lockFreeDuringMessageBox = probe->done.wait_for(wait, std::chrono::seconds(10), [&] { return probe->locked; });
    wait.unlock();
    if (lockFreeDuringMessageBox)
        other.join();
    else
        other.detach();
}

TEST_F(SetupDialogTest, NoLockIsHeldWhileTheMessageBoxIsOpen)
{
    lockFreeDuringMessageBox = false;
    SetMessageBoxHook(TryLockFromAnotherThread);
    HWND dialog = OpenDialog();
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, "0"));
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    EXPECT_EQ(1, CountMessageBoxes());
    EXPECT_TRUE(lockFreeDuringMessageBox);
    SetMessageBoxHook(nullptr);
}

TEST_F(SetupDialogTest, RefusedOkWithEnableTickedStartsNothing)
{
    HWND dialog = OpenDialog();
    ASSERT_TRUE(ClickButton(dialog, IDC_ENABLE));
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, "40000"));
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(0, captureState.running);
    EXPECT_EQ(0, CountPlatformThreads());
    EXPECT_EQ(0, StandinCallCounts().getCoreVer);
}

// The host thread: opens the dialog, ticks Enable and presses OK, which blocks it in the pause.
struct HostScript {
    HWND dialog;
    bool clicked;
};

unsigned WINAPI RunEnablingOk(void* argument)
{
    HostScript* script = (HostScript*)argument;
    script->dialog = CreateDialogParamA(GetModuleHandleA(nullptr), SETUP_TEMPLATE_NAME, HOST_WINDOW,
                                        SetupDialogProc, 0);
    pluginContext.setupDialog = script->dialog;
    script->clicked = ClickButton(script->dialog, IDC_ENABLE) && TypeIntoControl(script->dialog, IDC_DELAY, "60") &&
                      ClickButton(script->dialog, IDOK);
    return 0;
}

TEST_F(SetupDialogTest, OkThatNewlyEnablesStartsPausesAndTakesTheChannel)
{
    HostScript script = {nullptr, false};
    HANDLE host = (HANDLE)_beginthreadex(nullptr, 0, RunEnablingOk, &script, 0, nullptr);
    ASSERT_NE(nullptr, host);

    // In the pause: the worker runs, the dialog is still open, no channel taken, nothing armed.
    ASSERT_TRUE(WaitUntilIdle(5000));
    EXPECT_EQ(1, captureState.running);
    EXPECT_EQ(2, CountPlatformThreads());
    EXPECT_TRUE(IsWindow(script.dialog));
    EXPECT_EQ(SavedIni(settings), ReadWholeFile(settingsFile)); // saved before the start
    EXPECT_EQ(0u, captureState.changeTime);
    EXPECT_EQ(-1, TimerDueIn());

    AdvanceManualClock(999 * MILLISECOND);
    ASSERT_TRUE(WaitUntilIdle(5000));
    EXPECT_EQ(0u, captureState.changeTime);
    EXPECT_TRUE(IsWindow(script.dialog));

    AdvanceManualClock(1 * MILLISECOND);
    ASSERT_TRUE(WaitUntilIdle(5000));
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(GetExitCodeThread(host, &exitCode));
    EXPECT_EQ(0u, exitCode);
    CloseHandle(host);
    EXPECT_TRUE(script.clicked);

    ExpectClosed(script.dialog);
    EXPECT_EQ(1, settings.Enable);
    EXPECT_EQ(60, settings.Delay);
    EXPECT_EQ(startTime + 1, captureState.changeTime);
    EXPECT_STREQ("Alpha TV", captureState.liveEvent.channelName);
    EXPECT_EQ(0x00010002u, captureState.liveEvent.nidsid);
    EXPECT_EQ(60 * SECOND, TimerDueIn());
    EXPECT_EQ(0, CountMessageBoxes());

    // The first detail file follows Delay seconds later.
    ASSERT_TRUE(RunManualClockUntil(ClockNow100ns() + 60 * SECOND - 1));
    EXPECT_EQ("", DetailFiles());
    ASSERT_TRUE(RunManualClockUntil(ClockNow100ns() + 1));
    ASSERT_TRUE(WaitUntilIdle(5000));
    EXPECT_NE("", DetailFiles());
}

TEST_F(SetupDialogTest, OkThatNewlyDisablesStopsTheWorker)
{
    settings.Enable = 1;
    StartCapture();
    ASSERT_EQ(1, captureState.running);
    OnChannelChange();
    HWND dialog = OpenDialog();
    ASSERT_EQ(BST_CHECKED, ControlCheck(dialog, IDC_ENABLE));
    ASSERT_TRUE(ClickButton(dialog, IDC_ENABLE));
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    ExpectClosed(dialog);
    EXPECT_EQ(0, captureState.running);
    EXPECT_EQ(nullptr, captureState.workerThread);
    EXPECT_EQ(nullptr, captureState.delayTimer);
    ASSERT_TRUE(WaitUntilIdle(5000));
    EXPECT_EQ(0, CountPlatformThreads());
    EXPECT_EQ(0, settings.Enable);
    EXPECT_EQ(SavedIni(settings), ReadWholeFile(settingsFile));
}

// A running worker keeps its timer: the new Delay applies from the next arming.
TEST_F(SetupDialogTest, OkWithEnableUnchangedNeitherStartsStopsNorRearms)
{
    settings.Enable = 1;
    StartCapture();
    OnChannelChange();
    ASSERT_TRUE(WaitUntilIdle(5000));
    HANDLE worker = captureState.workerThread;
    int64_t dueIn = TimerDueIn();
    ASSERT_EQ(180 * SECOND, dueIn);
    TimeValue changeTime = captureState.changeTime;
    int paramsCalls = StandinCallCounts().params;
    int versionCalls = StandinCallCounts().getCoreVer;

    HWND dialog = OpenDialog();
    ASSERT_TRUE(TypeIntoControl(dialog, IDC_DELAY, "30"));
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    ExpectClosed(dialog);
    ASSERT_TRUE(WaitUntilIdle(5000));
    EXPECT_EQ(1, captureState.running);
    EXPECT_EQ(worker, captureState.workerThread);
    EXPECT_EQ(dueIn, TimerDueIn());
    EXPECT_EQ(180, captureState.armedDelay);
    EXPECT_EQ(changeTime, captureState.changeTime);
    EXPECT_EQ(paramsCalls, StandinCallCounts().params);
    EXPECT_EQ(versionCalls, StandinCallCounts().getCoreVer);
    EXPECT_EQ(30, settings.Delay);
    EXPECT_EQ(SavedIni(settings), ReadWholeFile(settingsFile));
}

TEST_F(SetupDialogTest, OkWithEnableStillClearStartsNothing)
{
    HWND dialog = OpenDialog();
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    ExpectClosed(dialog);
    EXPECT_EQ(0, captureState.running);
    EXPECT_EQ(0, CountPlatformThreads());
    EXPECT_EQ(0, StandinCallCounts().getCoreVer);
    EXPECT_EQ(0, StandinCallCounts().params);
    EXPECT_EQ(SavedIni(settings), ReadWholeFile(settingsFile));
}

} // namespace
