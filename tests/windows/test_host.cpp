// A Windows host for the plug-in, run under Wine: it starts with the stand-in DVBCore.dll loaded
// (imported), loads Quorvane.dll from its own folder as the real host does, and runs it for real:
// the info record, initialisation from Settings.ini beside the core, a channel change and its
// detail file, the setup dialog driven through messages, the profile functions' rewrite of
// Settings.ini, the notification that closes the dialog, and the close that ends the worker.
//
// One line per check, then "test host: N passed, N failed"; the exit code is 1 when any failed.
// With "--show-setup MILLISECONDS" it only opens the setup dialog for that long, for a screenshot.
#include "settings/setup_controls.h"
#include "standin/core.h"

#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <string.h>
#include <time.h>

namespace {

const int PATH_SIZE = 512;
const int TEXT_SIZE = 512;
const int INFO_BUFFER_SIZE = 64;
const int INFO_BYTES = 21;
const int MAX_THREADS = 64;
const uintptr_t MAX_HANDLE_VALUE = 0x10000;
const DWORD DETAIL_TIMEOUT_MS = 15000;   // Delay is 1 s; only a broken run waits this long
const DWORD POLL_MS = 20;
const DWORD SETTLE_MS = 200;             // lets a dialog paint and its messages arrive
const DWORD CHANNEL_CHANGE = 0x80000101;
const DWORD CLOSE_SETUP = 0x80000001;
const uint16_t NETWORK_ID = 0x0085;
const uint16_t SERVICE_ID = 0x00C9;
const int CHANNEL_INDEX = 2;
const DWORD FILTER_RESULT = 0x00C0FFEE;
const char* const DIALOG_CAPTION = "Quorvane v1.0";

typedef int(WINAPI* GetInfoProc)(uint8_t* info);
typedef int(WINAPI* InitProc)(UINT_PTR first, HWND hostWindow, UINT_PTR third);
typedef int(WINAPI* CallProc)(UINT_PTR first, UINT_PTR second);
typedef int(WINAPI* CloseProc)(UINT_PTR first);

struct PluginExports {
    GetInfoProc getInfo;
    InitProc init;
    CallProc call;
    CloseProc close;
};

struct HostState {
    char folder[PATH_SIZE];           // the core's folder, with its final backslash
    char settingsPath[PATH_SIZE];
    char recordingFolder[PATH_SIZE];
    HWND hostWindow;
    HMODULE plugin;
    PluginExports exports;
    DWORD workerThreadId;             // the thread that DVBPLGInit started; 0 when none was seen
    bool workerEndedAtUnregister;
    int passed;
    int failed;
};

HostState host;

void Check(bool condition, const char* what)
{
    if (condition) {
        host.passed++;
        printf("ok: %s\n", what);
    } else {
        host.failed++;
        printf("FAILED: %s\n", what);
    }
    fflush(stdout);
}

// The host thread's message loop: the setup dialog is modeless and lives on this thread's messages.
void PumpMessages(DWORD milliseconds)
{
    ULONGLONG end = GetTickCount64() + milliseconds;
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            HWND dialog = FindWindowA(nullptr, DIALOG_CAPTION);
            if (dialog != nullptr && IsDialogMessageA(dialog, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(POLL_MS / 2);
    } while (GetTickCount64() < end);
}

bool ReadFileText(const char* path, char* text, DWORD size)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD read = 0;
    BOOL ok = ReadFile(file, text, size - 1, &read, nullptr);
    CloseHandle(file);
    text[ok ? read : 0] = '\0';
    return ok != FALSE;
}

bool WriteFileText(const char* path, const char* text)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text, (DWORD)strlen(text), &written, nullptr);
    CloseHandle(file);
    return ok != FALSE && written == strlen(text);
}

// The ids of this process's threads; their count.
int ListThreads(DWORD* ids, int capacity)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId() && count < capacity)
            ids[count++] = entry.th32ThreadID;
    }
    CloseHandle(snapshot);
    return count;
}

bool ThreadHasEnded(DWORD threadId)
{
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, threadId);
    if (thread == nullptr)
        return true;
    bool ended = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

// The process's open kernel handles, found by asking about every handle value in turn: Wine
// reports no process handle count.
int CountOpenHandles(void)
{
    int count = 0;
    for (uintptr_t value = 4; value < MAX_HANDLE_VALUE; value += 4) {
        DWORD flags;
        if (GetHandleInformation((HANDLE)value, &flags))
            count++;
    }
    return count;
}

void OnUnregister(DWORD) { host.workerEndedAtUnregister = host.workerThreadId != 0 && ThreadHasEnded(host.workerThreadId); }

struct DialogCount {
    const char* caption;
    int count;
};

BOOL CALLBACK CountDialog(HWND window, LPARAM data)
{
    DialogCount* dialogs = (DialogCount*)data;
    char caption[TEXT_SIZE];
    GetWindowTextA(window, caption, sizeof caption);
    if (strcmp(caption, dialogs->caption) == 0)
        dialogs->count++;
    return TRUE;
}

int CountSetupDialogs(void)
{
    DialogCount dialogs = {DIALOG_CAPTION, 0};
    EnumThreadWindows(GetCurrentThreadId(), CountDialog, (LPARAM)&dialogs);
    return dialogs.count;
}

bool ControlTextIs(HWND dialog, int id, const char* expected)
{
    char text[TEXT_SIZE];
    text[0] = '\0';
    SendMessageA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text, (LPARAM)text);
    return strcmp(text, expected) == 0;
}

void TypeInto(HWND dialog, int id, const char* text) { SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, (LPARAM)text); }

void PressButton(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
    PumpMessages(SETTLE_MS);
}

HWND OpenSetupDialog(void)
{
    int result = host.exports.call(0, 0);
    PumpMessages(SETTLE_MS);
    return result == 1 ? FindWindowA(nullptr, DIALOG_CAPTION) : nullptr;
}

bool PrepareFolders(void)
{
    DWORD length = GetModuleFileNameA(GetModuleHandleA("DVBCore.dll"), host.folder, PATH_SIZE);
    char* lastBackslash = strrchr(host.folder, '\\');
    if (length == 0 || length >= PATH_SIZE || lastBackslash == nullptr)
        return false;
    lastBackslash[1] = '\0';
    snprintf(host.settingsPath, PATH_SIZE, "%sSettings.ini", host.folder);
    snprintf(host.recordingFolder, PATH_SIZE, "%srec\\", host.folder);
    CreateDirectoryA(host.recordingFolder, nullptr);
    return GetFileAttributesA(host.recordingFolder) != INVALID_FILE_ATTRIBUTES;
}

bool LoadPlugin(void)
{
    host.plugin = LoadLibraryA("Quorvane.dll");
    if (host.plugin == nullptr)
        return false;
    host.exports.getInfo = (GetInfoProc)(void*)GetProcAddress(host.plugin, "DVBPLGGetInfo");
    host.exports.init = (InitProc)(void*)GetProcAddress(host.plugin, "DVBPLGInit");
    host.exports.call = (CallProc)(void*)GetProcAddress(host.plugin, "DVBPLGCall");
    host.exports.close = (CloseProc)(void*)GetProcAddress(host.plugin, "DVBPLGClose");
    return host.exports.getInfo != nullptr && host.exports.init != nullptr && host.exports.call != nullptr &&
           host.exports.close != nullptr;
}

bool ExportsHaveOrdinalsOneToFour(void)
{
    void* byName[] = {(void*)host.exports.getInfo, (void*)host.exports.init, (void*)host.exports.call,
                      (void*)host.exports.close};
    for (int ordinal = 1; ordinal <= 4; ++ordinal)
        if ((void*)GetProcAddress(host.plugin, MAKEINTRESOURCEA(ordinal)) != byName[ordinal - 1])
            return false;
    return true;
}

HWND CreateHostWindow(void)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "QuorvaneTestHost";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "QuorvaneTestHost", "Test host", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

void ScriptCore(uint32_t eventStart)
{
    StandinReset();
    StandinSetFilterResult(FILTER_RESULT);
    StandinSetChannel(CHANNEL_INDEX, SERVICE_ID, "Alpha TV");
    StandinSetCurrentChannel(CHANNEL_INDEX);
    StandinSetNetworkId(NETWORK_ID);
    StandinSetEpg((uint32_t)NETWORK_ID << 16 | SERVICE_ID,
                  StandinEventOf(eventStart, 3600, 4711, "Evening News", "Headlines", "The day's events."));
    StandinSetDelFilterHook(OnUnregister);
}

// The detail file's name in the default scheme: start stamp, channel, event, suffix.
void ExpectedDetailPath(uint32_t eventStart, char* path)
{
    time_t start = eventStart;
    struct tm local = *localtime(&start);
    snprintf(path, PATH_SIZE, "%s%02d%02d%02d_%02d%02d%02d Alpha TV Evening News.txt", host.recordingFolder,
             local.tm_year - 100, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

void CheckInfoRecord(void)
{
    const uint8_t expected[INFO_BYTES] = {0x01, 0x01, 0, 0, 0x44, 0xC0, 0, 0, 0, 0, 0, 0,
                                          'Q', 'u', 'o', 'r', 'v', 'a', 'n', 'e', 0};
    uint8_t info[INFO_BUFFER_SIZE];
    memset(info, 0xFF, sizeof info);
    Check(host.exports.getInfo(info) == 1, "DVBPLGGetInfo returns 1");
    Check(memcmp(info, expected, INFO_BYTES) == 0, "the info record's 21 bytes: 0x101, 0xC044, 0, \"Quorvane\"");
    bool untouched = true;
    for (int i = INFO_BYTES; i < INFO_BUFFER_SIZE; ++i)
        untouched = untouched && info[i] == 0xFF;
    Check(untouched, "bytes 21 onward of the info record stay 0xFF");
}

void CheckInitAndChannelChange(void)
{
    uint32_t eventStart = (uint32_t)time(nullptr) - 600;
    ScriptCore(eventStart);
    char settings[TEXT_SIZE];
    snprintf(settings, sizeof settings,
             "[MyTheatre]\r\nLanguage=English\r\nFileName=%s\r\n[Quorvane]\r\nEnable=1\r\nDelay=1\r\n",
             host.recordingFolder);
    Check(WriteFileText(host.settingsPath, settings), "Settings.ini written beside DVBCore.dll (Delay 1)");

    DWORD before[MAX_THREADS];
    int beforeCount = ListThreads(before, MAX_THREADS);
    Check(host.exports.init(0, host.hostWindow, 0) == 1, "DVBPLGInit returns 1");
    Check(StandinRegisteredCallback() != nullptr && StandinCallCounts().addFilter == 1,
          "DVBPLGInit registers the notification callback once");
    DWORD after[MAX_THREADS];
    int afterCount = ListThreads(after, MAX_THREADS);
    int started = 0;
    for (int i = 0; i < afterCount; ++i) {
        bool old = false;
        for (int j = 0; j < beforeCount; ++j)
            old = old || after[i] == before[j];
        if (!old) {
            host.workerThreadId = after[i];
            started++;
        }
    }
    Check(started == 1, "DVBPLGInit starts one worker thread");

    char detailPath[PATH_SIZE];
    ExpectedDetailPath(eventStart, detailPath);
    ULONGLONG changedAt = GetTickCount64();
    Check(StandinNotify(CHANNEL_CHANGE), "the channel change is delivered to the callback");
    bool found = false;
    while (!found && GetTickCount64() - changedAt < DETAIL_TIMEOUT_MS) {
        PumpMessages(POLL_MS);
        found = GetFileAttributesA(detailPath) != INVALID_FILE_ATTRIBUTES;
    }
    ULONGLONG elapsed = GetTickCount64() - changedAt;
    Check(found, "the detail file appears after the channel change");
    // The delay timer cannot fire early; the lower bound leaves room for the clocks' granularity.
    Check(found && elapsed >= 900, "the detail file comes about one second (Delay) after the change");
    PumpMessages(SETTLE_MS);
    char detail[TEXT_SIZE * 16];
    Check(ReadFileText(detailPath, detail, sizeof detail) &&
              strncmp(detail, "Evening News\r\nHeadlines\r\nThe day's events.\r\n", 44) == 0 &&
              strstr(detail, "Alpha TV") != nullptr,
          "the detail file names the event, its texts and the channel");
}

void CheckSetupDialogOk(char* savedSettings, DWORD savedSize)
{
    HWND dialog = OpenSetupDialog();
    Check(dialog != nullptr && IsWindowVisible(dialog), "DVBPLGCall opens the visible setup dialog");
    if (dialog == nullptr)
        return;
    Check(GetWindow(dialog, GW_OWNER) == host.hostWindow, "the dialog is owned by the host window");
    Check(IsDlgButtonChecked(dialog, IDC_ENABLE) == BST_CHECKED && ControlTextIs(dialog, IDC_DELAY, "1") &&
              ControlTextIs(dialog, IDC_RECORDING_PATH, host.recordingFolder) &&
              ControlTextIs(dialog, IDC_DET_FILE_NAME_SUFFIX, ".txt"),
          "the dialog shows the settings: Enable ticked, Delay 1, the recording folder, \".txt\"");

    TypeInto(dialog, IDC_DELAY, "7");
    Check(host.exports.call(0, 0) == 1, "a second DVBPLGCall returns 1");
    PumpMessages(SETTLE_MS);
    Check(CountSetupDialogs() == 1 && FindWindowA(nullptr, DIALOG_CAPTION) == dialog &&
              ControlTextIs(dialog, IDC_DELAY, "7"),
          "a second DVBPLGCall changes nothing: one dialog, as it was");

    TypeInto(dialog, IDC_DELAY, "5");
    SendMessageA(GetDlgItem(dialog, IDC_ALT_FILE_NAMING), BM_SETCHECK, BST_CHECKED, 0);
    TypeInto(dialog, IDC_DVB_DEVICE_NAME, "Tuner A");
    TypeInto(dialog, IDC_COMMENT, "Wine run");
    TypeInto(dialog, IDC_REC_FILE_NAMING, "%C %T");
    PressButton(dialog, IDOK);
    Check(!IsWindow(dialog) && CountSetupDialogs() == 0, "OK closes the dialog");

    char expected[TEXT_SIZE * 2];
    snprintf(expected, sizeof expected,
             "[MyTheatre]\r\nLanguage=English\r\nFileName=%s\r\nRecFileNaming=%%C %%T\r\n"
             "[Quorvane]\r\nEnable=1\r\nDelay=5\r\nAltFileNaming=1\r\nAltDetPath=\r\nRecFileNameSuffix=.mpg\r\n"
             "DetFileNameSuffix=.txt\r\nDVBDevice_Name=Tuner A\r\nComment=Wine run\r\n",
             host.recordingFolder);
    bool read = ReadFileText(host.settingsPath, savedSettings, savedSize);
    Check(read && strcmp(savedSettings, expected) == 0,
          "OK rewrites Settings.ini: all ten keys, the host's other key kept, byte for byte");
    if (read && strcmp(savedSettings, expected) != 0)
        printf("--- Settings.ini as written:\n%s--- expected:\n%s---\n", savedSettings, expected);
}

void CheckSetupDialogClosedByHost(const char* savedSettings)
{
    HWND dialog = OpenSetupDialog();
    Check(dialog != nullptr && ControlTextIs(dialog, IDC_DELAY, "5") && ControlTextIs(dialog, IDC_COMMENT, "Wine run") &&
              IsDlgButtonChecked(dialog, IDC_ALT_FILE_NAMING) == BST_CHECKED,
          "DVBPLGCall after OK opens a new dialog, filled from the saved settings");
    if (dialog == nullptr)
        return;
    TypeInto(dialog, IDC_DELAY, "9");
    TypeInto(dialog, IDC_COMMENT, "not saved");
    const DWORD others[] = {0x80000100, 0x80000102, 0x80000103, 0x00000001};
    for (DWORD code : others)
        StandinNotify(code);
    PumpMessages(SETTLE_MS);
    Check(IsWindow(dialog) && ControlTextIs(dialog, IDC_DELAY, "9"), "other notifications leave the dialog alone");

    Check(StandinNotify(CLOSE_SETUP), "notification 0x80000001 is delivered");
    PumpMessages(SETTLE_MS);
    Check(!IsWindow(dialog) && CountSetupDialogs() == 0, "notification 0x80000001 closes the dialog");
    char now[TEXT_SIZE * 2];
    Check(ReadFileText(host.settingsPath, now, sizeof now) && strcmp(now, savedSettings) == 0,
          "closing by notification saves nothing");

    dialog = OpenSetupDialog();
    Check(dialog != nullptr && ControlTextIs(dialog, IDC_DELAY, "5") && ControlTextIs(dialog, IDC_COMMENT, "Wine run"),
          "DVBPLGCall after the notification opens a new dialog, filled from the settings");
    if (dialog != nullptr)
        PressButton(dialog, IDCANCEL);
    Check(dialog != nullptr && !IsWindow(dialog), "Cancel closes the dialog");
    Check(ReadFileText(host.settingsPath, now, sizeof now) && strcmp(now, savedSettings) == 0, "Cancel saves nothing");
}

void CheckClose(void)
{
    Check(host.exports.close(0) == 1, "DVBPLGClose returns 1");
    Check(host.workerEndedAtUnregister, "the worker has ended by the time the callback is unregistered");
    Check(StandinCallCounts().delFilter == 1 && StandinCallCounts().lastDelFilterArgument == FILTER_RESULT &&
              StandinRegisteredCallback() == nullptr,
          "DVBPLGClose unregisters the callback with what DVBAddFilter returned");
    Check(!StandinNotify(CHANNEL_CHANGE), "a later notification reaches no one");
}

// A second lifetime in the same load, closed while the worker waits on an armed timer: every handle
// that the start opened is closed again.
void CheckCloseReleasesHandles(void)
{
    int handlesBefore = CountOpenHandles();
    ScriptCore((uint32_t)time(nullptr) - 600);
    Check(host.exports.init(0, host.hostWindow, 0) == 1 && StandinNotify(CHANNEL_CHANGE),
          "a second DVBPLGInit, and a channel change that arms the timer");
    PumpMessages(SETTLE_MS);
    int during = CountOpenHandles();
    Check(host.exports.close(0) == 1, "DVBPLGClose while the worker waits");
    int handlesAfter = CountOpenHandles();
    char what[TEXT_SIZE];
    snprintf(what, sizeof what,
             "the worker's handles are released: %d open before DVBPLGInit, %d while it ran, %d after DVBPLGClose",
             handlesBefore, during, handlesAfter);
    Check(handlesBefore > 0 && during > handlesBefore && handlesAfter == handlesBefore, what);
}

void CheckUnload(void)
{
    Check(FreeLibrary(host.plugin) && GetModuleHandleA("Quorvane.dll") == nullptr,
          "the host can unload the plug-in: the worker gave back its hold on the library");
}

int RunChecks(void)
{
    Check(GetModuleHandleA("DVBCore.dll") != nullptr && GetModuleHandleA("Quorvane.dll") == nullptr,
          "DVBCore.dll is loaded before the plug-in");
    Check(PrepareFolders(), "the core's folder and a recording folder beside it");
    bool loaded = LoadPlugin();
    Check(loaded, "Quorvane.dll loads and exports DVBPLGGetInfo, DVBPLGInit, DVBPLGCall, DVBPLGClose");
    if (loaded) {
        Check(ExportsHaveOrdinalsOneToFour(), "the exports have the ordinals 1 to 4");
        host.hostWindow = CreateHostWindow();
        Check(host.hostWindow != nullptr, "a host window");
        CheckInfoRecord();
        CheckInitAndChannelChange();
        char savedSettings[TEXT_SIZE * 2];
        savedSettings[0] = '\0';
        CheckSetupDialogOk(savedSettings, sizeof savedSettings);
        CheckSetupDialogClosedByHost(savedSettings);
        CheckClose();
        CheckCloseReleasesHandles();
        CheckUnload();
    }
    printf("test host: %d passed, %d failed\n", host.passed, host.failed);
    return host.failed == 0 && host.passed > 0 ? 0 : 1;
}

// The dialog as a user sees it, filled from a Settings.ini of typical values, kept open for a while.
int ShowSetupDialog(DWORD milliseconds)
{
    if (!PrepareFolders() || !LoadPlugin())
        return 1;
    ScriptCore((uint32_t)time(nullptr));
    char settings[TEXT_SIZE];
    snprintf(settings, sizeof settings,
             "[MyTheatre]\r\nFileName=D:\\Recordings\\\r\nRecFileNaming=%%C %%D %%T\r\n[Quorvane]\r\nEnable=1\r\n"
             "Delay=180\r\nAltFileNaming=0\r\nAltDetPath=D:\\Recordings\\Details\\\r\nRecFileNameSuffix=.mpg\r\n"
             "DetFileNameSuffix=.txt\r\nDVBDevice_Name=Tuner A\r\nComment=Living room\r\n");
    WriteFileText(host.settingsPath, settings);
    host.hostWindow = CreateHostWindow();
    host.exports.init(0, host.hostWindow, 0);
    HWND dialog = OpenSetupDialog();
    if (dialog != nullptr)
        SetWindowPos(dialog, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    PumpMessages(milliseconds);
    StandinNotify(CLOSE_SETUP);
    host.exports.close(0);
    return dialog != nullptr ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "--show-setup") == 0)
        return ShowSetupDialog((DWORD)atoi(argv[2]));
    return RunChecks();
}
