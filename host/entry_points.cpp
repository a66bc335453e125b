#include "host/entry_points.h"

#include "capture/channel_change.h"
#include "capture/records.h"
#include "capture/worker.h"
#include "host/core_records.h"
#include "host/dvbcore.h"
#include "host/settings_path.h"
#include "settings/settings_file.h"
#include "settings/setup_dialog.h"

#include <string.h>

namespace {

const char* const PLUGIN_NAME = "Quorvane";          // with its terminator: 9 bytes at offset 12
const char* const SETUP_TEMPLATE = "qrv_Setup";

// Closes the setup dialog without reading or saving anything. Only the thread that created a
// window may destroy it: from any other thread the dialog is asked to close itself.
void CloseSetupDialog(void)
{
    HWND dialog = pluginContext.setupDialog;
    if (dialog == nullptr)
        return;
    if (GetWindowThreadProcessId(dialog, nullptr) == GetCurrentThreadId()) {
        DestroyWindow(dialog);
        pluginContext.setupDialog = nullptr;
    } else {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    }
}

} // namespace

extern "C" int WINAPI DVBPLGGetInfo(uint8_t* info)
{
    WriteU32(info, 0, 0x00000101);
    WriteU32(info, 4, 0x0000C044);
    WriteU32(info, 8, 0);
    memcpy(info + 12, PLUGIN_NAME, strlen(PLUGIN_NAME) + 1);
    return 1;
}

extern "C" int WINAPI DVBPLGInit(UINT_PTR, HWND hostWindow, UINT_PTR)
{
    pluginContext.hostWindow = hostWindow;

    // Settings.ini lives beside the host core. A module path that is cut or has no folder names
    // no safe place: the defaults then stay in memory, and nothing is read or saved.
    char corePath[FOLDER_SIZE];
    DWORD length = GetModuleFileNameA(GetModuleHandleA("DVBCore.dll"), corePath, FOLDER_SIZE);
    if (length == 0 || length >= FOLDER_SIZE || !DeriveSettingsPath(corePath, pluginContext.settingsPath))
        pluginContext.settingsPath[0] = '\0';
    LoadSettings();
    pluginContext.setupDialog = nullptr;

    // The library's own module, found by the address of its code rather than by its file name, so
    // that a renamed library still finds its dialog template.
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)&DVBPLGInit, &self);
    pluginContext.moduleHandle = self;

    pluginContext.filterHandle = DVBAddFilter(FILTER_KIND, OnHostEvent, 1, 0, 0, 0);
    StartCapture();
    return 1;
}

extern "C" int WINAPI DVBPLGCall(UINT_PTR, UINT_PTR)
{
    if (pluginContext.setupDialog != nullptr)
        return 1; // one dialog at a time; an open one is left as it is
    pluginContext.setupDialog = CreateDialogParamA(pluginContext.moduleHandle, SETUP_TEMPLATE,
                                                   pluginContext.hostWindow, SetupDialogProc, 0);
    if (pluginContext.setupDialog != nullptr)
        ShowWindow(pluginContext.setupDialog, SW_SHOW);
    return 1;
}

extern "C" int WINAPI DVBPLGClose(UINT_PTR)
{
    StopCapture();
    DVBDelFilter(pluginContext.filterHandle);
    // The dialog's procedure lives in this library, which the host is about to unload.
    CloseSetupDialog();
    return 1;
}

UINT_PTR WINAPI OnHostEvent(UINT_PTR, DWORD code, UINT_PTR)
{
    if (code == NOTIFY_CHANNEL_CHANGE)
        OnChannelChange();
    else if (code == NOTIFY_CLOSE_SETUP)
        CloseSetupDialog();
    return 0;
}
