// CreateEventA, SetEvent and ResetEvent.
#include "platform/posix/platform_control.h"
#include "platform/posix/sync.h"

#include <new>

namespace {

void DestroyEvent(KernelObject* object)
{
    delete (EventObject*)object;
}

BOOL SetEventState(HANDLE handle, bool signalled)
{
    pthread_mutex_lock(&platformLock);
    EventObject* event = (EventObject*)LookUpHandle(handle, OBJECT_EVENT);
    if (event != nullptr) {
        event->signalled = signalled;
        if (signalled)
            WakeAllLocked();
    }
    pthread_mutex_unlock(&platformLock);
    return event != nullptr;
}

} // namespace

// Named events are never shared across processes here, so a name is accepted and ignored.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR)
{
    if (TakeFault(FAULT_CREATE_EVENT))
        return nullptr;
    EventObject* event = new (std::nothrow)
        EventObject{{OBJECT_EVENT, 0, DestroyEvent}, manualReset != FALSE, initialState != FALSE};
    if (event == nullptr)
        return nullptr;
    HANDLE handle = OpenHandle(&event->base);
    if (handle == nullptr)
        delete event;
    return handle;
}

BOOL SetEvent(HANDLE event)
{
    return SetEventState(event, true);
}

BOOL ResetEvent(HANDLE event)
{
    return SetEventState(event, false);
}
