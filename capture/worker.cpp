#include "capture/worker.h"

#include "capture/capture_lock.h"
#include "capture/detail_step.h"
#include "capture/records.h"
#include "host/dvbcore.h"

namespace {

// The worker waits on copies of its own of the stop event and the timer, so that a worker that
// outlives StopCapture's wait never uses a handle that has been closed or handed to a newer worker.
bool TakeWorkerHandles(uint32_t generation, HANDLE objects[2])
{
    HANDLE process = GetCurrentProcess();
    LockCapture();
    bool current = generation == captureState.workerGeneration;
    if (current) {
        DuplicateHandle(process, captureState.stopEvent, process, &objects[0], 0, FALSE, DUPLICATE_SAME_ACCESS);
        DuplicateHandle(process, captureState.delayTimer, process, &objects[1], 0, FALSE, DUPLICATE_SAME_ACCESS);
    }
    UnlockCapture();
    return current && objects[0] != nullptr && objects[1] != nullptr;
}

// Gives back the reference to the library that StartCapture took for this thread, and ends the
// thread in the same call, so the library cannot be unloaded under code that is still running.
[[noreturn]] void EndWorker(DWORD exitCode)
{
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)&CaptureWorker, &self);
    FreeLibraryAndExitThread(self, exitCode);
}

} // namespace

unsigned WINAPI CaptureWorker(void* generationArgument)
{
    const uint32_t generation = (uint32_t)(uintptr_t)generationArgument;
    HANDLE objects[2] = {nullptr, nullptr};
    if (TakeWorkerHandles(generation, objects)) {
        for (;;) {
            DWORD woken = WaitForMultipleObjectsEx(2, objects, FALSE, WORKER_WAIT_MS, FALSE);
            if (woken == WAIT_OBJECT_0)
                break; // a stop wins over a due detail: the stop event comes first
            if (woken == WAIT_OBJECT_0 + 1)
                WriteDetail(generation, objects[1]);
            else if (woken != WAIT_TIMEOUT)
                Sleep(FAILED_WAIT_PAUSE_MS);
        }
    }
    for (HANDLE object : objects)
        if (object != nullptr)
            CloseHandle(object);
    EndWorker(1);
}

void StartCapture(void)
{
    if (captureState.running != 0 || captureState.workerThread != nullptr || settings.Enable == 0)
        return;
    captureState.coreVersionText[0] = '\0';
    DVBGetCoreVer(captureState.coreVersionText);
    captureState.coreVersionText[sizeof captureState.coreVersionText - 1] = '\0';
    if (captureState.stopEvent == nullptr)
        captureState.stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (captureState.delayTimer == nullptr)
        captureState.delayTimer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    // Without both objects a worker could only spin on failed waits; the next start tries again.
    if (captureState.stopEvent == nullptr || captureState.delayTimer == nullptr)
        return;

    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)&CaptureWorker, &self))
        return;
    unsigned threadId = 0;
    uintptr_t thread = _beginthreadex(nullptr, 0, CaptureWorker,
                                      (void*)(uintptr_t)captureState.workerGeneration, 0, &threadId);
    if (thread == 0 || thread == (uintptr_t)-1) {
        FreeLibrary(self);
        return;
    }
    captureState.workerThread = (HANDLE)thread;
    captureState.running = 1;
}

void StopCapture(void)
{
    if (captureState.running == 0)
        return;
    // From here on the worker is late: whatever step it is in ends without writing or arming.
    LockCapture();
    captureState.workerGeneration++;
    UnlockCapture();
    SetEvent(captureState.stopEvent);
    // A worker still inside a step after this wait is never ended by force: it finishes on its own
    // handles, holds its own reference to the library, and exits.
    WaitForSingleObject(captureState.workerThread, STOP_WAIT_MS);
    CloseHandle(captureState.workerThread);
    captureState.workerThread = nullptr;
    CloseHandle(captureState.delayTimer);
    captureState.delayTimer = nullptr;
    CloseHandle(captureState.stopEvent);
    captureState.stopEvent = nullptr;
    captureState.running = 0;
}
