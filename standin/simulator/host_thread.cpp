#include "standin/simulator/host_thread.h"

#include "host/entry_points.h"
#include "platform/posix/dialog_control.h"
#include "settings/setup_controls.h"

#include <atomic>
#include <mutex>

namespace {

const int MAX_DIALOGS = 16;

struct HostThreadState {
    HostLibraries* libraries;
    HANDLE thread;
    HANDLE commandReady;            // auto-reset: one command at a time
    HostCommandKind kind;
    const ScenarioAction* action;
    std::atomic<bool> busy;
    std::mutex noteLock;
    std::string note;
};

HostThreadState host;

void SetNote(const std::string& note)
{
    std::lock_guard<std::mutex> hold(host.noteLock);
    host.note = note;
}

HWND NewestDialog(void)
{
    HWND dialogs[MAX_DIALOGS];
    int count = ListDialogs(dialogs, MAX_DIALOGS);
    return count > 0 ? dialogs[(count < MAX_DIALOGS ? count : MAX_DIALOGS) - 1] : nullptr;
}

// The viewer opens the setup dialog, makes the one change and confirms it with OK.
void ChangeSetup(const ScenarioAction& action)
{
    host.libraries->call(0, 0);
    HWND dialog = NewestDialog();
    if (dialog == nullptr) {
        SetNote("the setup dialog did not open");
        return;
    }
    ClearMessageBoxes();
    if (action.kind == ACTION_DELAY) {
        TypeIntoControl(dialog, IDC_DELAY, std::to_string(action.delay).c_str());
    } else {
        WindowInfo box;
        int wanted = action.kind == ACTION_ENABLE ? BST_CHECKED : BST_UNCHECKED;
        if (DescribeWindow(GetDlgItem(dialog, IDC_ENABLE), &box) && box.check != wanted)
            ClickButton(dialog, IDC_ENABLE);
    }
    ClickButton(dialog, IDC_SETUP_OK);
    if (CountMessageBoxes() > 0) {
        MessageBoxRecord record;
        ReadMessageBox(0, &record);
        SetNote(std::string("the dialog refused: ") + record.text);
        ClickButton(dialog, IDC_SETUP_CANCEL);
    }
    PumpThreadMessages();
}

void RunCommand(HostCommandKind kind, const ScenarioAction* action)
{
    HostLibraries& libraries = *host.libraries;
    switch (kind) {
    case HOST_INIT:
        libraries.init(0, nullptr, 0);
        break;
    case HOST_ACTION:
        if (action->kind == ACTION_TUNE) {
            libraries.setCurrentChannel((uint16_t)action->channel);
            libraries.notify(NOTIFY_CHANNEL_CHANGE);
        } else {
            ChangeSetup(*action);
        }
        break;
    case HOST_CLOSE:
        libraries.close(0);
        PumpThreadMessages();
        break;
    case HOST_QUIT:
        break;
    }
}

unsigned WINAPI RunHostThread(void*)
{
    for (;;) {
        WaitForSingleObject(host.commandReady, INFINITE);
        HostCommandKind kind = host.kind;
        RunCommand(kind, host.action);
        host.busy = false;
        if (kind == HOST_QUIT)
            return 0;
    }
}

} // namespace

bool StartHostThread(HostLibraries* libraries)
{
    host.libraries = libraries;
    host.busy = false;
    host.commandReady = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (host.commandReady == nullptr)
        return false;
    host.thread = (HANDLE)_beginthreadex(nullptr, 0, RunHostThread, nullptr, 0, nullptr);
    return host.thread != nullptr;
}

void SendHostCommand(HostCommandKind kind, const ScenarioAction* action)
{
    host.kind = kind;
    host.action = action;
    host.busy = true;
    SetEvent(host.commandReady);
}

bool IsHostBusy(void)
{
    return host.busy;
}

std::string TakeHostNote(void)
{
    std::lock_guard<std::mutex> hold(host.noteLock);
    std::string note;
    note.swap(host.note);
    return note;
}

void StopHostThread(void)
{
    if (host.thread == nullptr)
        return;
    SendHostCommand(HOST_QUIT, nullptr);
    WaitForSingleObject(host.thread, INFINITE);
    CloseHandle(host.thread);
    CloseHandle(host.commandReady);
    host.thread = nullptr;
    host.commandReady = nullptr;
}
