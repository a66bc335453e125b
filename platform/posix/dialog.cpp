// The headless dialog model: dialogs built from registered templates, their controls with texts and
// check states, the posted-message queue, and message boxes recorded instead of shown.
//
// A window handle carries a generation in its upper bits, so a handle kept after its window was
// destroyed never names a later window that reuses the slot. One lock guards the model; no dialog
// procedure is ever called with it held, since a procedure sends messages of its own.
#include "platform/posix/dialog_control.h"
#include "platform/posix/dialog_template.h"

#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

namespace {

const int MAX_WINDOWS = 128;
const int MAX_DIALOG_CONTROLS = 64;
const int MAX_TEMPLATES = 16;
const int POSTED_QUEUE_SIZE = 256;
const int MESSAGE_BOX_RECORDS = 64;
const uintptr_t SLOT_MASK = 0xFFFF;
const int GENERATION_SHIFT = 16;
const uintptr_t LAST_INTEGER_RESOURCE = 0xFFFF;
const char* const DIALOG_CLASS = "#32770";

// Button types that hold a check state, and the highest state each takes.
const DWORD BS_CHECKBOX_TYPE = 0x2, BS_RADIOBUTTON_TYPE = 0x4, BS_AUTORADIOBUTTON_TYPE = 0x9;
const DWORD BS_3STATE_TYPE = 0x5, BS_AUTO3STATE_TYPE = 0x6;

struct Window {
    bool inUse;
    bool destroying;              // inside DestroyWindow: still a window, but going
    uint16_t generation;
    uint64_t serial;              // creation order
    WindowInfo info;
    DLGPROC procedure;            // a dialog's
    HWND controls[MAX_DIALOG_CONTROLS];
};

struct PostedMessage {
    HWND window;
    DWORD threadId;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

pthread_mutex_t windowLock = PTHREAD_MUTEX_INITIALIZER;
Window windows[MAX_WINDOWS];
uint16_t lastGeneration;
uint64_t lastSerial;
const DialogTemplate* templates[MAX_TEMPLATES];
PostedMessage posted[POSTED_QUEUE_SIZE];
int postedCount;
MessageBoxRecord messageBoxes[MESSAGE_BOX_RECORDS];
int messageBoxCount;
MessageBoxHook messageBoxHook;

void CopyText(char* target, int size, const char* source)
{
    snprintf(target, (size_t)size, "%s", source != nullptr ? source : "");
}

// Call with windowLock held.
Window* LookUpLocked(HWND handle)
{
    uintptr_t value = (uintptr_t)handle;
    uintptr_t slot = (value & SLOT_MASK) - 1;
    if (handle == nullptr || slot >= (uintptr_t)MAX_WINDOWS)
        return nullptr;
    Window* window = &windows[slot];
    return window->inUse && window->info.handle == handle ? window : nullptr;
}

Window* LookUpDialogLocked(HWND handle)
{
    Window* window = LookUpLocked(handle);
    return window != nullptr && window->info.parent == nullptr ? window : nullptr;
}

Window* FindControlLocked(Window* dialog, int id)
{
    for (int i = 0; i < dialog->info.controlCount; ++i) {
        Window* control = LookUpLocked(dialog->controls[i]);
        if (control != nullptr && control->info.id == id)
            return control;
    }
    return nullptr;
}

int CountFreeSlotsLocked(void)
{
    int free = 0;
    for (const Window& window : windows)
        free += window.inUse ? 0 : 1;
    return free;
}

Window* AllocateLocked(void)
{
    for (int slot = 0; slot < MAX_WINDOWS; ++slot) {
        Window* window = &windows[slot];
        if (window->inUse)
            continue;
        memset(window, 0, sizeof *window);
        if (++lastGeneration == 0)
            lastGeneration = 1;
        window->inUse = true;
        window->generation = lastGeneration;
        window->serial = ++lastSerial;
        window->info.handle = (HWND)(((uintptr_t)lastGeneration << GENERATION_SHIFT) | (uintptr_t)(slot + 1));
        return window;
    }
    return nullptr;
}

bool IsClass(const Window* window, const char* className)
{
    return strcasecmp(window->info.className, className) == 0;
}

DWORD ButtonType(const Window* window)
{
    return IsClass(window, "Button") ? window->info.style & BS_TYPEMASK : BS_TYPEMASK;
}

bool HoldsCheck(const Window* window)
{
    DWORD type = ButtonType(window);
    return type == BS_CHECKBOX_TYPE || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON_TYPE ||
           type == BS_AUTORADIOBUTTON_TYPE || type == BS_3STATE_TYPE || type == BS_AUTO3STATE_TYPE;
}

// Edit boxes and every other window keep what they are given, up to the model's fixed size: a longer
// text is refused, never cut without a word.
LRESULT SetTextLocked(Window* window, const char* text)
{
    if (text == nullptr)
        text = "";
    size_t length = strlen(text);
    if (length >= (size_t)WINDOW_TEXT_SIZE)
        return FALSE;
    memcpy(window->info.text, text, length + 1);
    return TRUE;
}

// At most size - 1 characters and a terminator; the result counts the characters copied.
LRESULT GetTextLocked(const Window* window, WPARAM size, char* buffer)
{
    if (buffer == nullptr || size == 0)
        return 0;
    size_t length = strlen(window->info.text);
    size_t copied = length < size ? length : size - 1;
    memcpy(buffer, window->info.text, copied);
    buffer[copied] = '\0';
    return (LRESULT)copied;
}

// What the dialog manager does with a message that the dialog procedure leaves alone.
LRESULT DefaultDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    pthread_mutex_lock(&windowLock);
    Window* window = LookUpDialogLocked(dialog);
    if (window != nullptr && message == WM_SETTEXT)
        result = SetTextLocked(window, (const char*)lParam);
    else if (window != nullptr && message == WM_GETTEXT)
        result = GetTextLocked(window, wParam, (char*)lParam);
    pthread_mutex_unlock(&windowLock);
    return result;
}

LRESULT SendToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    pthread_mutex_lock(&windowLock);
    Window* window = LookUpDialogLocked(dialog);
    DLGPROC procedure = window != nullptr ? window->procedure : nullptr;
    pthread_mutex_unlock(&windowLock);
    if (window == nullptr)
        return 0;
    INT_PTR handled = procedure != nullptr ? procedure(dialog, message, wParam, lParam) : 0;
    if (handled == 0)
        return DefaultDialogMessage(dialog, message, wParam, lParam);
    return handled;
}

// A control tells its dialog what happened to it.
void NotifyDialog(HWND dialog, int id, WORD code, HWND control)
{
    SendToDialog(dialog, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)control);
}

bool OnCallingThread(const Window* window)
{
    return window->info.threadId == GetCurrentThreadId();
}

const DialogTemplate* FindTemplate(HMODULE module, LPCSTR name)
{
    if ((uintptr_t)name <= LAST_INTEGER_RESOURCE)
        return nullptr; // no template is registered by number
    HMODULE wanted = module != nullptr ? module : GetModuleHandleA(nullptr);
    const DialogTemplate* candidates[MAX_TEMPLATES];
    pthread_mutex_lock(&windowLock);
    memcpy(candidates, templates, sizeof candidates);
    pthread_mutex_unlock(&windowLock);
    // The modules are asked without the lock: the loader holds its own lock while a module's
    // registration runs. A template is read only once its module is known to be the wanted one,
    // which the caller holds loaded.
    for (const DialogTemplate* candidate : candidates) {
        HMODULE holder = nullptr;
        if (candidate == nullptr ||
            !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                (LPCSTR)candidate, &holder))
            continue;
        if (holder == wanted && strcasecmp(candidate->name, name) == 0)
            return candidate;
    }
    return nullptr;
}

HWND BuildDialogLocked(const DialogTemplate* dialogTemplate, HWND owner, DLGPROC procedure)
{
    if (dialogTemplate->itemCount < 0 || dialogTemplate->itemCount > MAX_DIALOG_CONTROLS ||
        CountFreeSlotsLocked() < dialogTemplate->itemCount + 1)
        return nullptr;
    DWORD thread = GetCurrentThreadId();
    Window* dialog = AllocateLocked();
    WindowInfo& info = dialog->info;
    info.owner = owner;
    CopyText(info.className, WINDOW_CLASS_SIZE, DIALOG_CLASS);
    CopyText(info.text, WINDOW_TEXT_SIZE, dialogTemplate->caption);
    info.style = dialogTemplate->style;
    info.x = dialogTemplate->x;
    info.y = dialogTemplate->y;
    info.width = dialogTemplate->width;
    info.height = dialogTemplate->height;
    info.threadId = thread;
    dialog->procedure = procedure;
    for (int i = 0; i < dialogTemplate->itemCount; ++i) {
        const DialogItemTemplate& item = dialogTemplate->items[i];
        Window* control = AllocateLocked();
        control->info.parent = info.handle;
        control->info.id = item.id;
        CopyText(control->info.className, WINDOW_CLASS_SIZE, item.className);
        CopyText(control->info.text, WINDOW_TEXT_SIZE, item.text);
        control->info.style = item.style;
        control->info.x = item.x;
        control->info.y = item.y;
        control->info.width = item.width;
        control->info.height = item.height;
        control->info.shown = (item.style & WS_VISIBLE) != 0;
        control->info.threadId = thread;
        dialog->controls[info.controlCount++] = control->info.handle;
    }
    return info.handle;
}

HWND FirstTabStop(HWND dialog)
{
    HWND found = nullptr;
    pthread_mutex_lock(&windowLock);
    if (Window* window = LookUpDialogLocked(dialog)) {
        for (int i = 0; i < window->info.controlCount && found == nullptr; ++i) {
            Window* control = LookUpLocked(window->controls[i]);
            if (control != nullptr && (control->info.style & WS_TABSTOP) != 0)
                found = control->info.handle;
        }
    }
    pthread_mutex_unlock(&windowLock);
    return found;
}

void FreeWindowLocked(Window* window)
{
    for (int i = 0; i < window->info.controlCount; ++i)
        if (Window* control = LookUpLocked(window->controls[i]))
            control->inUse = false;
    if (Window* parent = LookUpLocked(window->info.parent)) {
        int kept = 0;
        for (int i = 0; i < parent->info.controlCount; ++i)
            if (parent->controls[i] != window->info.handle)
                parent->controls[kept++] = parent->controls[i];
        parent->info.controlCount = kept;
    }
    window->inUse = false;
}

} // namespace

bool RegisterDialogTemplate(const DialogTemplate* dialogTemplate)
{
    bool registered = false;
    pthread_mutex_lock(&windowLock);
    for (const DialogTemplate*& slot : templates) {
        if (slot == nullptr) {
            slot = dialogTemplate;
            registered = true;
            break;
        }
    }
    pthread_mutex_unlock(&windowLock);
    return registered;
}

void UnregisterDialogTemplate(const DialogTemplate* dialogTemplate)
{
    pthread_mutex_lock(&windowLock);
    for (const DialogTemplate*& slot : templates)
        if (slot == dialogTemplate)
            slot = nullptr;
    pthread_mutex_unlock(&windowLock);
}

// The owner is taken as given: a host on POSIX has no way to make a window of its own.
HWND CreateDialogParamA(HINSTANCE module, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM initParam)
{
    const DialogTemplate* dialogTemplate = FindTemplate(module, templateName);
    if (dialogTemplate == nullptr)
        return nullptr;
    pthread_mutex_lock(&windowLock);
    HWND dialog = BuildDialogLocked(dialogTemplate, owner, procedure);
    pthread_mutex_unlock(&windowLock);
    if (dialog == nullptr)
        return nullptr;
    SendToDialog(dialog, WM_INITDIALOG, (WPARAM)FirstTabStop(dialog), initParam);
    // The procedure may have destroyed its dialog while initialising it; a visible dialog shows now.
    pthread_mutex_lock(&windowLock);
    Window* window = LookUpDialogLocked(dialog);
    if (window != nullptr)
        window->info.shown = (window->info.style & WS_VISIBLE) != 0;
    pthread_mutex_unlock(&windowLock);
    return window != nullptr ? dialog : nullptr;
}

BOOL ShowWindow(HWND window, int command)
{
    BOOL wasShown = FALSE;
    pthread_mutex_lock(&windowLock);
    if (Window* found = LookUpLocked(window)) {
        wasShown = found->info.shown ? TRUE : FALSE;
        found->info.shown = command != SW_HIDE;
    }
    pthread_mutex_unlock(&windowLock);
    return wasShown;
}

// Only the thread that created a window may destroy it. A dialog hears WM_DESTROY while its controls
// still exist; then it and its controls are gone.
BOOL DestroyWindow(HWND window)
{
    pthread_mutex_lock(&windowLock);
    Window* found = LookUpLocked(window);
    if (found == nullptr || found->destroying || !OnCallingThread(found)) {
        pthread_mutex_unlock(&windowLock);
        return FALSE;
    }
    found->destroying = true;
    bool isDialog = found->info.parent == nullptr;
    pthread_mutex_unlock(&windowLock);

    if (isDialog)
        SendToDialog(window, WM_DESTROY, 0, 0);

    pthread_mutex_lock(&windowLock);
    found = LookUpLocked(window);
    if (found != nullptr)
        FreeWindowLocked(found);
    pthread_mutex_unlock(&windowLock);
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    pthread_mutex_lock(&windowLock);
    bool found = LookUpLocked(window) != nullptr;
    pthread_mutex_unlock(&windowLock);
    return found ? TRUE : FALSE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    HWND control = nullptr;
    pthread_mutex_lock(&windowLock);
    if (Window* found = LookUpDialogLocked(dialog))
        if (Window* item = FindControlLocked(found, id))
            control = item->info.handle;
    pthread_mutex_unlock(&windowLock);
    return control;
}

// Messages to a dialog go to its procedure; the controls answer their own. A single-line edit box
// tells its dialog of a text set by WM_SETTEXT as it tells it of typing.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    pthread_mutex_lock(&windowLock);
    Window* found = LookUpLocked(window);
    if (found == nullptr || found->info.parent == nullptr) {
        pthread_mutex_unlock(&windowLock);
        return found != nullptr ? SendToDialog(window, message, wParam, lParam) : 0;
    }
    LRESULT result = 0;
    bool changed = false;
    switch (message) {
    case WM_SETTEXT:
        result = SetTextLocked(found, (const char*)lParam);
        changed = result != FALSE && IsClass(found, "Edit");
        break;
    case WM_GETTEXT:
        result = GetTextLocked(found, wParam, (char*)lParam);
        break;
    case BM_SETCHECK:
        if (HoldsCheck(found)) {
            DWORD type = ButtonType(found);
            WPARAM highest = type == BS_3STATE_TYPE || type == BS_AUTO3STATE_TYPE ? 2 : 1;
            found->info.check = (int)(wParam > highest ? highest : wParam);
        }
        break;
    case BM_GETCHECK:
        result = HoldsCheck(found) ? found->info.check : 0;
        break;
    default:
        break;
    }
    HWND parent = found->info.parent;
    int id = found->info.id;
    pthread_mutex_unlock(&windowLock);
    if (changed)
        NotifyDialog(parent, id, EN_CHANGE, window);
    return result;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    BOOL queued = FALSE;
    pthread_mutex_lock(&windowLock);
    Window* found = LookUpLocked(window);
    if (found != nullptr && postedCount < POSTED_QUEUE_SIZE) {
        posted[postedCount++] = PostedMessage{window, found->info.threadId, message, wParam, lParam};
        queued = TRUE;
    }
    pthread_mutex_unlock(&windowLock);
    return queued;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId)
{
    pthread_mutex_lock(&windowLock);
    Window* found = LookUpLocked(window);
    DWORD thread = found != nullptr ? found->info.threadId : 0;
    pthread_mutex_unlock(&windowLock);
    if (found != nullptr && processId != nullptr)
        *processId = (DWORD)getpid();
    return thread;
}

// Recorded for tests and answered at once, as if the user pressed its only button.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    MessageBoxRecord record;
    record.owner = owner;
    CopyText(record.text, MESSAGE_BOX_TEXT_SIZE, text);
    CopyText(record.caption, MESSAGE_BOX_TEXT_SIZE, caption);
    record.type = type;
    record.threadId = GetCurrentThreadId();
    pthread_mutex_lock(&windowLock);
    if (messageBoxCount < MESSAGE_BOX_RECORDS)
        messageBoxes[messageBoxCount] = record;
    messageBoxCount++;
    MessageBoxHook hook = messageBoxHook;
    pthread_mutex_unlock(&windowLock);
    if (hook != nullptr)
        hook(&record);
    return IDOK;
}

int ListDialogs(HWND* dialogs, int capacity)
{
    int count = 0;
    pthread_mutex_lock(&windowLock);
    uint64_t after = 0;
    for (;;) {
        const Window* next = nullptr;
        for (const Window& window : windows)
            if (window.inUse && window.info.parent == nullptr && window.serial > after &&
                (next == nullptr || window.serial < next->serial))
                next = &window;
        if (next == nullptr)
            break;
        if (count < capacity)
            dialogs[count] = next->info.handle;
        count++;
        after = next->serial;
    }
    pthread_mutex_unlock(&windowLock);
    return count;
}

bool DescribeWindow(HWND window, WindowInfo* info)
{
    pthread_mutex_lock(&windowLock);
    const Window* found = LookUpLocked(window);
    if (found != nullptr)
        *info = found->info;
    pthread_mutex_unlock(&windowLock);
    return found != nullptr;
}

HWND GetDialogControlAt(HWND dialog, int index)
{
    HWND control = nullptr;
    pthread_mutex_lock(&windowLock);
    const Window* found = LookUpDialogLocked(dialog);
    if (found != nullptr && index >= 0 && index < found->info.controlCount)
        control = found->controls[index];
    pthread_mutex_unlock(&windowLock);
    return control;
}

bool TypeIntoControl(HWND dialog, int id, const char* text)
{
    pthread_mutex_lock(&windowLock);
    Window* found = LookUpDialogLocked(dialog);
    Window* control = found != nullptr && OnCallingThread(found) ? FindControlLocked(found, id) : nullptr;
    bool typed = control != nullptr && IsClass(control, "Edit") && SetTextLocked(control, text) != FALSE;
    HWND controlHandle = control != nullptr ? control->info.handle : nullptr;
    pthread_mutex_unlock(&windowLock);
    if (typed)
        NotifyDialog(dialog, id, EN_CHANGE, controlHandle);
    return typed;
}

bool ClickButton(HWND dialog, int id)
{
    pthread_mutex_lock(&windowLock);
    Window* found = LookUpDialogLocked(dialog);
    Window* control = found != nullptr && OnCallingThread(found) ? FindControlLocked(found, id) : nullptr;
    bool clicked = control != nullptr && IsClass(control, "Button");
    if (clicked && ButtonType(control) == BS_AUTOCHECKBOX)
        control->info.check = control->info.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    HWND controlHandle = control != nullptr ? control->info.handle : nullptr;
    pthread_mutex_unlock(&windowLock);
    if (clicked)
        NotifyDialog(dialog, id, BN_CLICKED, controlHandle);
    return clicked;
}

// Only a caption with a system menu has a close box.
bool ClickCloseBox(HWND dialog)
{
    pthread_mutex_lock(&windowLock);
    const Window* found = LookUpDialogLocked(dialog);
    bool hasCloseBox = found != nullptr && OnCallingThread(found) &&
                       (found->info.style & (WS_CAPTION | WS_SYSMENU)) == (WS_CAPTION | WS_SYSMENU);
    pthread_mutex_unlock(&windowLock);
    if (hasCloseBox)
        SendToDialog(dialog, WM_CLOSE, 0, 0);
    return hasCloseBox;
}

int PumpThreadMessages(void)
{
    DWORD thread = GetCurrentThreadId();
    int delivered = 0;
    for (;;) {
        PostedMessage next;
        bool found = false;
        pthread_mutex_lock(&windowLock);
        for (int i = 0; i < postedCount && !found; ++i) {
            if (posted[i].threadId != thread)
                continue;
            next = posted[i];
            memmove(&posted[i], &posted[i + 1], (size_t)(postedCount - i - 1) * sizeof posted[0]);
            postedCount--;
            found = true;
        }
        pthread_mutex_unlock(&windowLock);
        if (!found)
            return delivered;
        if (IsWindow(next.window)) {
            SendMessageA(next.window, next.message, next.wParam, next.lParam);
            delivered++;
        }
    }
}

int CountPostedMessages(DWORD threadId)
{
    int count = 0;
    pthread_mutex_lock(&windowLock);
    for (int i = 0; i < postedCount; ++i)
        count += posted[i].threadId == threadId ? 1 : 0;
    pthread_mutex_unlock(&windowLock);
    return count;
}

int CountMessageBoxes(void)
{
    pthread_mutex_lock(&windowLock);
    int count = messageBoxCount;
    pthread_mutex_unlock(&windowLock);
    return count;
}

bool ReadMessageBox(int index, MessageBoxRecord* record)
{
    pthread_mutex_lock(&windowLock);
    bool kept = index >= 0 && index < messageBoxCount && index < MESSAGE_BOX_RECORDS;
    if (kept)
        *record = messageBoxes[index];
    pthread_mutex_unlock(&windowLock);
    return kept;
}

void ClearMessageBoxes(void)
{
    pthread_mutex_lock(&windowLock);
    messageBoxCount = 0;
    pthread_mutex_unlock(&windowLock);
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    pthread_mutex_lock(&windowLock);
    messageBoxHook = hook;
    pthread_mutex_unlock(&windowLock);
}

void ResetDialogModel(void)
{
    pthread_mutex_lock(&windowLock);
    for (Window& window : windows)
        window.inUse = false;
    postedCount = 0;
    messageBoxCount = 0;
    messageBoxHook = nullptr;
    pthread_mutex_unlock(&windowLock);
}
