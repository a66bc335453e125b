// _beginthreadex, GetExitCodeThread, GetCurrentThreadId and FreeLibraryAndExitThread over pthreads.
// A thread object lives as long as a handle names it or the thread runs, whichever is longer.
#include "platform/posix/platform_control.h"
#include "platform/posix/sync.h"

#include <atomic>
#include <limits.h>
#include <new>

namespace {

const unsigned CREATE_SUSPENDED_FLAG = 0x00000004u;

thread_local ThreadObject* currentThread;
thread_local DWORD currentThreadId;
std::atomic<DWORD> lastThreadId;
int liveThreads; // guarded by platformLock

void DestroyThread(KernelObject* object)
{
    delete (ThreadObject*)object;
}

// Like Windows, never 0; unlike Windows, numbered in the order threads first ask.
DWORD NewThreadId(void)
{
    DWORD id;
    do
        id = ++lastThreadId;
    while (id == 0);
    return id;
}

void EndThread(ThreadObject* thread, DWORD exitCode)
{
    pthread_mutex_lock(&platformLock);
    thread->exitCode = exitCode;
    thread->ended = true;
    liveThreads--;
    WakeAllLocked();
    pthread_cond_broadcast(SettleCondition());
    pthread_mutex_unlock(&platformLock);
    currentThread = nullptr;
    ReleaseObject(&thread->base);
}

void* RunThread(void* argument)
{
    ThreadObject* thread = (ThreadObject*)argument;
    currentThread = thread;
    currentThreadId = thread->id;
    DWORD exitCode;
    if (setjmp(thread->exitJump) == 0) {
        exitCode = thread->start(thread->argument);
    } else {
        // Back from FreeLibraryAndExitThread: nothing of the released library is on the stack now.
        exitCode = thread->jumpExitCode;
        FreeLibrary(thread->jumpModule);
    }
    EndThread(thread, exitCode);
    return nullptr;
}

} // namespace

ThreadObject* CurrentPlatformThread(void)
{
    return currentThread;
}

int CountLiveThreadsLocked(void)
{
    return liveThreads;
}

int CountPlatformThreads(void)
{
    pthread_mutex_lock(&platformLock);
    int live = liveThreads;
    pthread_mutex_unlock(&platformLock);
    return live;
}

// Threads start running at once: nothing here could resume a suspended one.
uintptr_t _beginthreadex(void*, unsigned stackSize, unsigned(WINAPI* start)(void*), void* argument,
                         unsigned flags, unsigned* threadId)
{
    if (start == nullptr || (flags & CREATE_SUSPENDED_FLAG) != 0 || TakeFault(FAULT_THREAD_START))
        return 0;
    // The first reference is the thread's own, dropped when it ends.
    ThreadObject* thread =
        new (std::nothrow) ThreadObject{{OBJECT_THREAD, 1, DestroyThread}, start, argument, NewThreadId()};
    if (thread == nullptr)
        return 0;
    HANDLE handle = OpenHandle(&thread->base);
    if (handle == nullptr) {
        delete thread;
        return 0;
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackSize != 0)
        pthread_attr_setstacksize(&attributes, stackSize < PTHREAD_STACK_MIN ? PTHREAD_STACK_MIN : stackSize);
    pthread_mutex_lock(&platformLock);
    liveThreads++;
    pthread_mutex_unlock(&platformLock);
    pthread_t posixThread;
    int error = pthread_create(&posixThread, &attributes, RunThread, thread);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        pthread_mutex_lock(&platformLock);
        liveThreads--;
        pthread_mutex_unlock(&platformLock);
        CloseHandle(handle);
        ReleaseObject(&thread->base);
        return 0;
    }
    if (threadId != nullptr)
        *threadId = thread->id;
    return (uintptr_t)handle;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode)
{
    if (exitCode == nullptr)
        return FALSE;
    pthread_mutex_lock(&platformLock);
    ThreadObject* thread = (ThreadObject*)LookUpHandle(handle, OBJECT_THREAD);
    if (thread != nullptr)
        *exitCode = thread->ended ? thread->exitCode : STILL_ACTIVE;
    pthread_mutex_unlock(&platformLock);
    return thread != nullptr;
}

DWORD GetCurrentThreadId(void)
{
    if (currentThreadId == 0)
        currentThreadId = NewThreadId();
    return currentThreadId;
}

void FreeLibraryAndExitThread(HMODULE module, DWORD exitCode)
{
    ThreadObject* thread = currentThread;
    if (thread != nullptr) {
        thread->jumpExitCode = exitCode;
        thread->jumpModule = module;
        longjmp(thread->exitJump, 1);
    }
    // A thread that this layer did not start has no way out that leaves its callers' frames behind
    // (pthread_exit unwinds through them), so the library they run in keeps its reference.
    pthread_exit(nullptr);
}
