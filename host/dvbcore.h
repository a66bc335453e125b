// The five functions that the plug-in imports from the host core, DVBCore.dll. Every argument and
// result is 32 bits wide in the 32-bit build; pointers are pointer-sized in the 64-bit builds.
#pragma once

#include "platform/win32.h"

// The notification callback: the second argument is the notification code; the others are not read.
typedef UINT_PTR(WINAPI* HostEventProc)(UINT_PTR first, DWORD code, UINT_PTR third);

const DWORD FILTER_KIND = 0x4001;        // DVBAddFilter's first argument
const DWORD PARAMS_CHANNELS = 0x3B00;    // DVBParams: fill the channel table
const DWORD EPG_CURRENT_EVENT = 17;      // DVBEPGProc: the event on the air for a service key

extern "C" {
DWORD WINAPI DVBAddFilter(DWORD kind, HostEventProc callback, DWORD one, DWORD zero1, DWORD zero2, DWORD zero3);
DWORD WINAPI DVBDelFilter(DWORD filter);
DWORD WINAPI DVBGetCoreVer(char* versionText);
DWORD WINAPI DVBParams(void* paramBlock, DWORD what);
DWORD WINAPI DVBEPGProc(DWORD query, void* eventResult, DWORD* key, DWORD zero);
}
