// The setup dialog: a modeless dialog from the template "qrv_Setup" that edits all the settings.
#pragma once

#include "platform/win32.h"

// The dialog procedure; 1 for the messages it handles, 0 for all others.
INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Reads every control and checks them. 1: all were valid and are now in `settings`. 0: a check
// failed, its message was shown and dismissed, and `settings` is as it was.
int ReadSetupDialog(HWND dialog);
