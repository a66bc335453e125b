// What the host calls: the four exported entry points and the notification callback.
#pragma once

#include "platform/win32.h"

#include <stdint.h>

#ifdef _WIN32
#define PLUGIN_EXPORT // exported by name and ordinal through host/quorvane.def
#else
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

const int PLUGIN_INFO_BYTES = 21;        // all that the plug-in writes of the host's record
const DWORD NOTIFY_CHANNEL_CHANGE = 0x80000101;
const DWORD NOTIFY_CLOSE_SETUP = 0x80000001;

extern "C" {
PLUGIN_EXPORT int WINAPI DVBPLGGetInfo(uint8_t* info);
PLUGIN_EXPORT int WINAPI DVBPLGInit(UINT_PTR first, HWND hostWindow, UINT_PTR third);
PLUGIN_EXPORT int WINAPI DVBPLGCall(UINT_PTR first, UINT_PTR second);
PLUGIN_EXPORT int WINAPI DVBPLGClose(UINT_PTR first);
}

UINT_PTR WINAPI OnHostEvent(UINT_PTR first, DWORD code, UINT_PTR third);
