// The headless dialog model: templates found by module and name, control texts and check states with
// the Windows rules, destruction by the creating thread only, posted messages and message boxes.
#include "platform/posix/dialog_control.h"
#include "platform/posix/dialog_template.h"

#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const int ID_NAME = 7;
const int ID_BOX = 8;
const int ID_PUSH = 9;
const int ID_LABEL = 6;
const DWORD CHILD = WS_CHILD | WS_VISIBLE;
const char POISON = 'P';

const DialogItemTemplate PROBE_ITEMS[] = {
    {ID_LABEL, "Static", "Name", CHILD, 1, 2, 30, 8},
    {ID_NAME, "Edit", "abcdef", CHILD | WS_BORDER | WS_TABSTOP, 40, 2, 80, 12},
    {ID_BOX, "Button", "Box", CHILD | BS_AUTOCHECKBOX | WS_TABSTOP, 1, 20, 40, 9},
    {ID_PUSH, "Button", "Push", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 60, 20, 40, 14},
    {ID_NAME, "Static", "same id, later", CHILD, 1, 40, 30, 8},
};
const DialogTemplate PROBE_TEMPLATE = {"Probe_Dialog", WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_SETFONT,
                                       5, 6, 150, 70, "Probe", 8, "MS SANS SERIF", PROBE_ITEMS, 5};
// No close box: a caption without a system menu.
const DialogTemplate BARE_TEMPLATE = {"Bare_Dialog", WS_CAPTION, 0, 0, 50, 20, "Bare", 8, "MS SANS SERIF",
                                      PROBE_ITEMS, 1};

struct Delivered {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    HWND nameControlThen;         // GetDlgItem(window, ID_NAME) at delivery
};

std::vector<Delivered> delivered;
bool destroyOnInit;

INT_PTR CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    delivered.push_back(Delivered{window, message, wParam, lParam, GetDlgItem(window, ID_NAME)});
    if (message == WM_INITDIALOG && destroyOnInit)
        DestroyWindow(window);
    return message == WM_INITDIALOG || message == WM_COMMAND ? 1 : 0;
}

int CountDelivered(UINT message)
{
    int count = 0;
    for (const Delivered& d : delivered)
        count += d.message == message ? 1 : 0;
    return count;
}

class PlatformDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDialogModel();
        delivered.clear();
        destroyOnInit = false;
        ASSERT_TRUE(RegisterDialogTemplate(&PROBE_TEMPLATE));
        ASSERT_TRUE(RegisterDialogTemplate(&BARE_TEMPLATE));
    }
    void TearDown() override
    {
        UnregisterDialogTemplate(&PROBE_TEMPLATE);
        UnregisterDialogTemplate(&BARE_TEMPLATE);
        ResetDialogModel();
    }

    HWND Open(LPARAM initParam = 0)
    {
        return CreateDialogParamA(GetModuleHandleA(nullptr), "Probe_Dialog", nullptr, RecordingProc, initParam);
    }
};

TEST_F(PlatformDialogTest, TemplatesAreFoundByModuleAndName)
{
    HMODULE platform = GetModuleHandleA("libwinplatform.so");
    ASSERT_NE(nullptr, platform);
    struct LookUpCase { int row; HMODULE module; LPCSTR name; bool found; };
    const LookUpCase cases[] = {
        {1, GetModuleHandleA(nullptr), "Probe_Dialog", true},
        {2, GetModuleHandleA(nullptr), "PROBE_DIALOG", true},   // resource names ignore case
        {3, nullptr, "probe_dialog", true},                     // no module: the program's own
        {4, platform, "Probe_Dialog", false},                   // another module holds no such template
        {5, GetModuleHandleA(nullptr), "Probe_Dialo", false},
        {6, GetModuleHandleA(nullptr), MAKEINTRESOURCEA(7), false},
        {7, (HMODULE)(uintptr_t)0x1000, "Probe_Dialog", false},
    };
    for (const LookUpCase& c : cases) {
        SCOPED_TRACE(c.row);
        HWND dialog = CreateDialogParamA(c.module, c.name, nullptr, RecordingProc, 0);
        EXPECT_EQ(c.found, dialog != nullptr);
        if (dialog != nullptr) {
            EXPECT_TRUE(DestroyWindow(dialog));
        }
    }
    UnregisterDialogTemplate(&PROBE_TEMPLATE);
    EXPECT_EQ(nullptr, Open()); // gone with its registration
}

TEST_F(PlatformDialogTest, CreationInitialisesThenShows)
{
    HWND owner = (HWND)(uintptr_t)0x4242;
    HWND dialog = CreateDialogParamA(nullptr, "Probe_Dialog", owner, RecordingProc, 0x1234);
    ASSERT_NE(nullptr, dialog);
    ASSERT_EQ(1u, delivered.size());
    EXPECT_EQ((UINT)WM_INITDIALOG, delivered[0].message);
    EXPECT_EQ((WPARAM)GetDlgItem(dialog, ID_NAME), delivered[0].wParam); // the first tab stop
    EXPECT_EQ(0x1234, delivered[0].lParam);
    WindowInfo info;
    ASSERT_TRUE(DescribeWindow(dialog, &info));
    EXPECT_EQ(owner, info.owner);
    EXPECT_STREQ("#32770", info.className);
    EXPECT_STREQ("Probe", info.text);
    EXPECT_TRUE(info.shown);
    EXPECT_EQ(5, info.controlCount);
    EXPECT_EQ(GetCurrentThreadId(), info.threadId);
    EXPECT_EQ(GetDialogControlAt(dialog, 1), GetDlgItem(dialog, ID_NAME)); // the first of two with that id
    EXPECT_EQ(nullptr, GetDlgItem(dialog, 99));
    EXPECT_EQ(nullptr, GetDialogControlAt(dialog, 5));

    EXPECT_TRUE(ShowWindow(dialog, SW_HIDE));
    EXPECT_FALSE(ShowWindow(dialog, SW_SHOW));
    EXPECT_TRUE(ShowWindow(dialog, SW_SHOW));
    DWORD process = 0;
    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(dialog, &process));
    EXPECT_EQ((DWORD)getpid(), process);
}

TEST_F(PlatformDialogTest, DestroyedWhileInitialisingGivesNoDialog)
{
    destroyOnInit = true;
    EXPECT_EQ(nullptr, Open());
    EXPECT_EQ(0, ListDialogs(nullptr, 0));
    EXPECT_EQ(1, CountDelivered(WM_DESTROY));
}

struct GetTextCase {
    int row;
    WPARAM size;
    LRESULT copied;
    const char* text;             // null: the buffer is untouched
};

TEST_F(PlatformDialogTest, GetTextCopiesAtMostSizeLessOne)
{
    const GetTextCase cases[] = {
        {1, 0, 0, nullptr},
        {2, 1, 0, ""},
        {3, 2, 1, "a"},
        {4, 6, 5, "abcde"},       // one short
        {5, 7, 6, "abcdef"},      // exact fit
        {6, 100, 6, "abcdef"},
    };
    HWND dialog = Open();
    HWND name = GetDlgItem(dialog, ID_NAME);
    for (const GetTextCase& c : cases) {
        SCOPED_TRACE(c.row);
        char buffer[16];
        memset(buffer, POISON, sizeof buffer);
        EXPECT_EQ(c.copied, SendMessageA(name, WM_GETTEXT, c.size, (LPARAM)buffer));
        if (c.text == nullptr) {
            EXPECT_EQ(POISON, buffer[0]);
        } else {
            EXPECT_STREQ(c.text, buffer);
            EXPECT_EQ(POISON, buffer[strlen(c.text) + 1]);
        }
    }
    EXPECT_EQ(0, SendMessageA(name, WM_GETTEXT, 10, 0));
}

TEST_F(PlatformDialogTest, SetTextKeepsTheTextOrRefusesIt)
{
    HWND dialog = Open();
    HWND name = GetDlgItem(dialog, ID_NAME);
    HWND label = GetDlgItem(dialog, ID_LABEL);
    delivered.clear();

    std::string longest(WINDOW_TEXT_SIZE - 1, 'x');
    EXPECT_EQ(TRUE, SendMessageA(name, WM_SETTEXT, 0, (LPARAM)longest.c_str()));
    WindowInfo info;
    ASSERT_TRUE(DescribeWindow(name, &info));
    EXPECT_EQ(longest, info.text);
    std::string tooLong(WINDOW_TEXT_SIZE, 'y');
    EXPECT_EQ(FALSE, SendMessageA(name, WM_SETTEXT, 0, (LPARAM)tooLong.c_str()));
    ASSERT_TRUE(DescribeWindow(name, &info));
    EXPECT_EQ(longest, info.text); // refused whole, not cut
    EXPECT_EQ(TRUE, SendMessageA(name, WM_SETTEXT, 0, (LPARAM)"line\r\nbreak"));
    ASSERT_TRUE(DescribeWindow(name, &info));
    EXPECT_STREQ("line\r\nbreak", info.text); // a single-line box keeps what it is given
    EXPECT_EQ(TRUE, SendMessageA(name, WM_SETTEXT, 0, 0));
    ASSERT_TRUE(DescribeWindow(name, &info));
    EXPECT_STREQ("", info.text);

    // The edit box told its dialog of each accepted text; the label tells nobody.
    EXPECT_EQ(3, CountDelivered(WM_COMMAND));
    EXPECT_EQ(MAKEWPARAM(ID_NAME, EN_CHANGE), delivered[0].wParam);
    EXPECT_EQ((LPARAM)name, delivered[0].lParam);
    EXPECT_EQ(TRUE, SendMessageA(label, WM_SETTEXT, 0, (LPARAM)"Label"));
    EXPECT_EQ(3, CountDelivered(WM_COMMAND));

    // The dialog's own text is its caption, once its procedure leaves the message alone.
    char caption[8];
    EXPECT_EQ(5, SendMessageA(dialog, WM_GETTEXT, sizeof caption, (LPARAM)caption));
    EXPECT_STREQ("Probe", caption);
}

TEST_F(PlatformDialogTest, CheckStates)
{
    struct CheckCase { int row; int id; WPARAM set; LRESULT got; };
    const CheckCase cases[] = {
        {1, ID_BOX, BST_CHECKED, BST_CHECKED},
        {2, ID_BOX, BST_UNCHECKED, BST_UNCHECKED},
        {3, ID_BOX, 2, BST_CHECKED},       // a two-state box has no third state
        {4, ID_PUSH, BST_CHECKED, 0},      // a push button holds no check
        {5, ID_NAME, BST_CHECKED, 0},
    };
    HWND dialog = Open();
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.row);
        HWND control = GetDlgItem(dialog, c.id);
        EXPECT_EQ(0, SendMessageA(control, BM_SETCHECK, c.set, 0));
        EXPECT_EQ(c.got, SendMessageA(control, BM_GETCHECK, 0, 0));
    }
}

TEST_F(PlatformDialogTest, TheUsersActions)
{
    HWND dialog = Open();
    HWND box = GetDlgItem(dialog, ID_BOX);
    delivered.clear();
    EXPECT_TRUE(ClickButton(dialog, ID_BOX));
    EXPECT_EQ(BST_CHECKED, SendMessageA(box, BM_GETCHECK, 0, 0));
    EXPECT_TRUE(ClickButton(dialog, ID_BOX));
    EXPECT_EQ(BST_UNCHECKED, SendMessageA(box, BM_GETCHECK, 0, 0));
    EXPECT_TRUE(ClickButton(dialog, ID_PUSH));
    EXPECT_TRUE(TypeIntoControl(dialog, ID_NAME, "typed"));
    EXPECT_FALSE(TypeIntoControl(dialog, ID_LABEL, "a label takes no typing"));
    EXPECT_FALSE(ClickButton(dialog, ID_NAME));
    EXPECT_FALSE(ClickButton(dialog, 99));
    ASSERT_EQ(4u, delivered.size());
    EXPECT_EQ(MAKEWPARAM(ID_BOX, BN_CLICKED), delivered[0].wParam);
    EXPECT_EQ((LPARAM)box, delivered[0].lParam);
    EXPECT_EQ(MAKEWPARAM(ID_PUSH, BN_CLICKED), delivered[2].wParam);
    EXPECT_EQ(MAKEWPARAM(ID_NAME, EN_CHANGE), delivered[3].wParam);

    EXPECT_TRUE(ClickCloseBox(dialog));
    EXPECT_EQ(1, CountDelivered(WM_CLOSE));
    EXPECT_TRUE(IsWindow(dialog)); // closing is the procedure's business

    HWND bare = CreateDialogParamA(nullptr, "Bare_Dialog", nullptr, RecordingProc, 0);
    ASSERT_NE(nullptr, bare);
    EXPECT_FALSE(ClickCloseBox(bare));
    WindowInfo info;
    ASSERT_TRUE(DescribeWindow(bare, &info));
    EXPECT_FALSE(info.shown); // no WS_VISIBLE

    // A user's input arrives on the dialog's own thread only.
    bool typedElsewhere = true, clickedElsewhere = true, closedElsewhere = true;
    std::thread other([&] {
        typedElsewhere = TypeIntoControl(dialog, ID_NAME, "elsewhere");
        clickedElsewhere = ClickButton(dialog, ID_BOX);
        closedElsewhere = ClickCloseBox(dialog);
    });
    other.join();
    EXPECT_FALSE(typedElsewhere);
    EXPECT_FALSE(clickedElsewhere);
    EXPECT_FALSE(closedElsewhere);
}

TEST_F(PlatformDialogTest, OnlyTheCreatingThreadDestroys)
{
    HWND dialog = Open();
    HWND name = GetDlgItem(dialog, ID_NAME);
    BOOL destroyedElsewhere = TRUE;
    std::thread other([&] { destroyedElsewhere = DestroyWindow(dialog); });
    other.join();
    EXPECT_FALSE(destroyedElsewhere);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(0, CountDelivered(WM_DESTROY));

    EXPECT_TRUE(DestroyWindow(dialog));
    ASSERT_EQ(1, CountDelivered(WM_DESTROY));
    EXPECT_EQ(name, delivered.back().nameControlThen); // the controls still exist during WM_DESTROY
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(name));
    EXPECT_FALSE(DestroyWindow(dialog));
    EXPECT_EQ(nullptr, GetDlgItem(dialog, ID_NAME));
    EXPECT_EQ(0, SendMessageA(name, BM_GETCHECK, 0, 0));
    EXPECT_EQ(0u, GetWindowThreadProcessId(dialog, nullptr));

    // A later dialog reuses the memory, never the handles.
    HWND next = Open();
    EXPECT_NE(dialog, next);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(name));
}

TEST_F(PlatformDialogTest, PostedMessagesWaitForTheirThread)
{
    HWND first = Open();
    HWND second = Open();
    HWND list[4] = {};
    EXPECT_EQ(2, ListDialogs(list, 4));
    EXPECT_EQ(first, list[0]);
    EXPECT_EQ(second, list[1]);
    delivered.clear();

    bool posted = false;
    int pumpedElsewhere = -1;
    std::thread other([&] {
        posted = PostMessageA(first, WM_APP, 1, 0) && PostMessageA(second, WM_APP, 2, 0) &&
                 PostMessageA(first, WM_APP, 3, 0);
        pumpedElsewhere = PumpThreadMessages(); // none of them is this thread's
    });
    other.join();
    EXPECT_TRUE(posted);
    EXPECT_EQ(0, pumpedElsewhere);
    EXPECT_TRUE(delivered.empty());
    EXPECT_EQ(3, CountPostedMessages(GetCurrentThreadId()));
    EXPECT_FALSE(PostMessageA((HWND)(uintptr_t)0x7FFF0001, WM_APP, 0, 0));

    ASSERT_TRUE(DestroyWindow(second)); // its message is dropped
    delivered.clear();
    EXPECT_EQ(2, PumpThreadMessages());
    ASSERT_EQ(2u, delivered.size());
    EXPECT_EQ(1u, delivered[0].wParam);
    EXPECT_EQ(3u, delivered[1].wParam);
    EXPECT_EQ(first, delivered[1].window);
    EXPECT_EQ(0, CountPostedMessages(GetCurrentThreadId()));
    EXPECT_EQ(0, PumpThreadMessages());
}

int hookCalls;

void CountHook(const MessageBoxRecord*)
{
    hookCalls++;
}

TEST_F(PlatformDialogTest, MessageBoxesAreRecordedAndAnsweredAtOnce)
{
    HWND dialog = Open();
    hookCalls = 0;
    SetMessageBoxHook(CountHook);
    EXPECT_EQ(IDOK, MessageBoxA(dialog, "First", "Error", MB_ICONERROR));
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "Second", nullptr, MB_OK));
    EXPECT_EQ(2, hookCalls);
    ASSERT_EQ(2, CountMessageBoxes());
    MessageBoxRecord record;
    ASSERT_TRUE(ReadMessageBox(0, &record));
    EXPECT_EQ(dialog, record.owner);
    EXPECT_STREQ("First", record.text);
    EXPECT_STREQ("Error", record.caption);
    EXPECT_EQ(MB_ICONERROR, record.type);
    EXPECT_EQ(GetCurrentThreadId(), record.threadId);
    ASSERT_TRUE(ReadMessageBox(1, &record));
    EXPECT_STREQ("Second", record.text);
    EXPECT_STREQ("", record.caption);
    EXPECT_FALSE(ReadMessageBox(2, &record));
    ClearMessageBoxes();
    EXPECT_EQ(0, CountMessageBoxes());
}

} // namespace
