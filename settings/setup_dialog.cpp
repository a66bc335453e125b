#include "settings/setup_dialog.h"

#include "capture/capture_lock.h"
#include "capture/channel_change.h"
#include "capture/records.h"
#include "capture/worker.h"
#include "settings/settings_file.h"
#include "settings/setup_controls.h"

#include <charconv>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

namespace {

const int DELAY_TEXT_SIZE = 512;
const int DELAY_DIGITS_SIZE = 16;
const long MIN_DELAY = 1;
const long MAX_DELAY = 32767;
const DWORD START_PAUSE_MS = 1000; // lets a freshly started worker settle before the first change

const char* const ERROR_CAPTION = "Error";
const char* const DELAY_MESSAGE = "Invalid Delay value. Must be in range 1 to 32767 seconds.";
const char* const ALT_DET_PATH_MESSAGE = "AltDetPath must end with a trailing backslash.";
const char* const RECORDING_PATH_MESSAGE = "RecordingPath must end with a trailing backslash.";

// The edit boxes that hold a text setting, in the order in which they are filled and read; the read
// size is the field's capacity.
struct TextControl {
    int id;
    size_t offset;                // of the field in Settings
    int size;
};

#define TEXT_CONTROL(id, field) {id, offsetof(Settings, field), (int)sizeof(Settings::field)}

const TextControl TEXT_CONTROLS[] = {
    TEXT_CONTROL(IDC_ALT_DET_PATH, AltDetPath),
    TEXT_CONTROL(IDC_REC_FILE_NAME_SUFFIX, RecFileNameSuffix),
    TEXT_CONTROL(IDC_DET_FILE_NAME_SUFFIX, DetFileNameSuffix),
    TEXT_CONTROL(IDC_DVB_DEVICE_NAME, DVBDevice_Name),
    TEXT_CONTROL(IDC_COMMENT, Comment),
    TEXT_CONTROL(IDC_RECORDING_PATH, FileName),
    TEXT_CONTROL(IDC_REC_FILE_NAMING, RecFileNaming),
};

#undef TEXT_CONTROL

char* TextField(Settings& record, const TextControl& control)
{
    return (char*)&record + control.offset;
}

void SetCheck(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, BST_CHECKED, 0);
}

int ReadCheck(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void SetText(HWND dialog, int id, const char* text)
{
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, (LPARAM)text);
}

void ReadText(HWND dialog, int id, char* text, int size)
{
    text[0] = '\0'; // a control that answers nothing reads as empty
    SendMessageA(GetDlgItem(dialog, id), WM_GETTEXT, (WPARAM)size, (LPARAM)text);
}

void FillSetupDialog(HWND dialog)
{
    if (settings.Enable != 0)
        SetCheck(dialog, IDC_ENABLE);
    char delay[DELAY_DIGITS_SIZE];
    *std::to_chars(delay, delay + sizeof delay - 1, settings.Delay, 10).ptr = '\0';
    SetText(dialog, IDC_DELAY, delay);
    if (settings.AltFileNaming != 0)
        SetCheck(dialog, IDC_ALT_FILE_NAMING);
    for (const TextControl& control : TEXT_CONTROLS)
        SetText(dialog, control.id, TextField(settings, control));
}

// Blanks, a sign and the leading digits, as strtol reads them. A number too large for its type
// saturates instead of wrapping, so no run of digits can come back into the accepted range.
long ParseDelay(const char* text)
{
    return strtol(text, nullptr, 10);
}

bool IsFolderText(const char* text)
{
    size_t length = strlen(text);
    return length == 0 || text[length - 1] == '\\';
}

int RefuseSetup(HWND dialog, const char* message)
{
    MessageBoxA(dialog, message, ERROR_CAPTION, MB_ICONERROR);
    return 0;
}

void CloseSetupDialog(HWND dialog)
{
    DestroyWindow(dialog);
    pluginContext.setupDialog = nullptr;
}

void OnSetupOk(HWND dialog)
{
    if (ReadSetupDialog(dialog) == 0)
        return; // stays open with what the user typed
    SaveSettings();
    if (settings.Enable == 0 && captureState.running == 1) {
        StopCapture();
    } else if (settings.Enable == 1 && captureState.running == 0) {
        // The host reports no change for the channel already on: take it, so that a first detail
        // file follows Delay seconds from now.
        StartCapture();
        Sleep(START_PAUSE_MS);
        OnChannelChange();
    }
    CloseSetupDialog(dialog);
}

} // namespace

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillSetupDialog(dialog);
        return 1; // the dialog manager puts the focus on the first tab stop
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_SETUP_OK)
            OnSetupOk(dialog);
        else if (LOWORD(wParam) == IDC_SETUP_CANCEL)
            CloseSetupDialog(dialog);
        return 1;
    case WM_CLOSE:
        CloseSetupDialog(dialog);
        return 1;
    default:
        return 0;
    }
}

// Everything is read and checked before anything is taken: a refused OK leaves `settings` as it was,
// and the worker never sees a value that the dialog refused.
int ReadSetupDialog(HWND dialog)
{
    Settings typed = {};
    typed.Enable = ReadCheck(dialog, IDC_ENABLE);
    char delayText[DELAY_TEXT_SIZE];
    ReadText(dialog, IDC_DELAY, delayText, DELAY_TEXT_SIZE);
    long delay = ParseDelay(delayText);
    typed.AltFileNaming = ReadCheck(dialog, IDC_ALT_FILE_NAMING);
    for (const TextControl& control : TEXT_CONTROLS)
        ReadText(dialog, control.id, TextField(typed, control), control.size);

    // No lock is held while a message box is open: the worker goes on meanwhile.
    if (delay < MIN_DELAY || delay > MAX_DELAY)
        return RefuseSetup(dialog, DELAY_MESSAGE);
    if (!IsFolderText(typed.AltDetPath))
        return RefuseSetup(dialog, ALT_DET_PATH_MESSAGE);
    if (!IsFolderText(typed.FileName))
        return RefuseSetup(dialog, RECORDING_PATH_MESSAGE);
    typed.Delay = (int)delay;

    LockCapture();
    settings = typed;
    UnlockCapture();
    return 1;
}
