// What tests and the simulator use to steer the headless dialog model: acting as the user, looking
// at what the windows hold, delivering posted messages and reading the message boxes shown.
// The plug-in itself never includes this header.
#pragma once

#include "platform/win32.h"

const int WINDOW_TEXT_SIZE = 4096;      // the longest text a window keeps, terminator included
const int WINDOW_CLASS_SIZE = 32;
const int MESSAGE_BOX_TEXT_SIZE = 512;

// A window as the model holds it: a dialog (parent null) or one of its controls.
struct WindowInfo {
    HWND handle;
    HWND parent;                  // the dialog of a control; null for a dialog
    HWND owner;                   // the owner a dialog was created with
    int id;                       // a control's id; 0 for a dialog
    char className[WINDOW_CLASS_SIZE]; // a dialog's is "#32770"
    char text[WINDOW_TEXT_SIZE];  // a control's text, a dialog's caption
    DWORD style;
    short x, y, width, height;    // dialog units, as the template gives them
    bool shown;
    int check;                    // BST_CHECKED or BST_UNCHECKED for a check box
    int controlCount;             // a dialog's controls, in tab order
    DWORD threadId;               // the thread that created the window
};

struct MessageBoxRecord {
    HWND owner;
    char text[MESSAGE_BOX_TEXT_SIZE];
    char caption[MESSAGE_BOX_TEXT_SIZE];
    UINT type;
    DWORD threadId;               // the thread that showed it
};

// Called on the showing thread while a message box is "open", before MessageBoxA returns IDOK.
typedef void (*MessageBoxHook)(const MessageBoxRecord* record);

// The dialogs that exist, oldest first; the result is how many exist (it may exceed `capacity`).
int ListDialogs(HWND* dialogs, int capacity);
bool DescribeWindow(HWND window, WindowInfo* info);
// The control at `index` in a dialog's tab order.
HWND GetDialogControlAt(HWND dialog, int index);

// Acting as the user, whose input arrives on the dialog's own thread: call these on that thread.
// Replaces an edit box's text and tells the dialog (EN_CHANGE), as typing does.
bool TypeIntoControl(HWND dialog, int id, const char* text);
// Clicks a button: an automatic check box toggles first; the dialog hears BN_CLICKED.
bool ClickButton(HWND dialog, int id);
// The close box of the caption: the dialog hears WM_CLOSE.
bool ClickCloseBox(HWND dialog);

// Delivers the messages posted to the calling thread's windows, in order; returns how many. Messages
// for windows destroyed since they were posted are dropped.
int PumpThreadMessages(void);
int CountPostedMessages(DWORD threadId);

int CountMessageBoxes(void);
bool ReadMessageBox(int index, MessageBoxRecord* record); // 0: the first shown since the last clear
void ClearMessageBoxes(void);
void SetMessageBoxHook(MessageBoxHook hook);

// Destroys every window of every thread, without telling any dialog procedure, and forgets the posted
// messages, the message boxes and the hook: a clean screen for the next test.
void ResetDialogModel(void);
