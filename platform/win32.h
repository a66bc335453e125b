// The one door through which the plug-in reaches the operating system.
//
// On Windows this is <windows.h> itself. Elsewhere it declares the small subset of Win32 that the
// plug-in calls, written from the documented behaviour; platform/posix implements it so that the
// plug-in's own code is the same on both systems, Windows paths and all.
#pragma once

#include <stdint.h>
#include <time.h>

#ifdef _WIN32

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600 // slim reader/writer locks
#endif
#include <windows.h>
#include <process.h>

// The plug-in reads the time through this one function; on POSIX tests can drive it by hand.
// The 64-bit clock: the 32-bit build's own time_t ends in 2038.
static inline uint32_t ReadClock(void) { return (uint32_t)_time64(NULL); }

#else // POSIX stand-in for the Win32 subset

#include <pthread.h>
#include <stddef.h>

#define WINAPI
#define CALLBACK
#define APIENTRY

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef int64_t LONGLONG;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;

typedef void* HANDLE;
typedef struct PlatformWindow* HWND;
typedef struct PlatformModule* HMODULE;
typedef HMODULE HINSTANCE;

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER;

typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
typedef struct _OVERLAPPED* LPOVERLAPPED;
typedef void (*PTIMERAPCROUTINE)(LPVOID, DWORD, DWORD);
typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INFINITE 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// Files
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
BOOL DeleteFileA(LPCSTR name);
BOOL CloseHandle(HANDLE object);

// Events, waitable timers, waits, threads
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 259u
#define DUPLICATE_SAME_ACCESS 0x00000002u

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
HANDLE CreateWaitableTimerA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, LPCSTR name);
BOOL SetWaitableTimer(HANDLE timer, const LARGE_INTEGER* dueTime, LONG period,
                      PTIMERAPCROUTINE completion, LPVOID completionArg, BOOL resume);
BOOL CancelWaitableTimer(HANDLE timer);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
DWORD WaitForMultipleObjectsEx(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds,
                               BOOL alertable);
void Sleep(DWORD milliseconds);
HANDLE GetCurrentProcess(void);
BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target,
                     DWORD access, BOOL inherit, DWORD options);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
DWORD GetCurrentThreadId(void);
uintptr_t _beginthreadex(void* security, unsigned stackSize, unsigned(WINAPI* start)(void*), void* arg,
                         unsigned flags, unsigned* threadId);

// Slim reader/writer lock, used exclusively: a plain mutex that needs no initialisation call.
typedef struct {
    pthread_mutex_t mutex;
} SRWLOCK;
#define SRWLOCK_INIT {PTHREAD_MUTEX_INITIALIZER}
void AcquireSRWLockExclusive(SRWLOCK* lock);
void ReleaseSRWLockExclusive(SRWLOCK* lock);

// Modules
#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001u
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004u

HMODULE GetModuleHandleA(LPCSTR name);
BOOL GetModuleHandleExA(DWORD flags, LPCSTR nameOrAddress, HMODULE* module);
DWORD GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size);
BOOL FreeLibrary(HMODULE module);
__attribute__((noreturn)) void FreeLibraryAndExitThread(HMODULE module, DWORD exitCode);

// Profile (INI) files
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer, DWORD size,
                               LPCSTR file);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR file);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR file);

// Windows and the dialog
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_CLOSE 0x0010
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_APP 0x8000
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define SW_HIDE 0
#define SW_SHOW 5
#define MB_OK 0x00000000u
#define MB_ICONERROR 0x00000010u
#define IDOK 1
#define IDCANCEL 2
#define WM_DESTROY 0x0002
#define BN_CLICKED 0
#define EN_CHANGE 0x0300

// Window, dialog and control styles
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_SYSMENU 0x00080000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define DS_SETFONT 0x00000040u
#define DS_MODALFRAME 0x00000080u
#define BS_PUSHBUTTON 0x00000000u
#define BS_DEFPUSHBUTTON 0x00000001u
#define BS_AUTOCHECKBOX 0x00000003u
#define BS_TYPEMASK 0x0000000Fu
#define ES_LEFT 0x00000000u
#define ES_RIGHT 0x00000002u
#define SS_LEFT 0x00000000u

#define LOWORD(value) ((WORD)(((uintptr_t)(value)) & 0xFFFF))
#define HIWORD(value) ((WORD)((((uintptr_t)(value)) >> 16) & 0xFFFF))
#define MAKEWPARAM(low, high) ((WPARAM)(DWORD)(((WORD)(low)) | (((DWORD)(WORD)(high)) << 16)))
#define MAKEINTRESOURCEA(id) ((LPSTR)(ULONG_PTR)(WORD)(id))

HWND CreateDialogParamA(HINSTANCE module, LPCSTR templateName, HWND owner, DLGPROC procedure,
                        LPARAM initParam);
BOOL ShowWindow(HWND window, int command);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
HWND GetDlgItem(HWND dialog, int id);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// The plug-in reads the time through this one function: the real clock by default, a manual clock
// when a test or the simulator takes over (platform/posix/platform_control.h).
uint32_t ReadClock(void);

#endif // _WIN32
