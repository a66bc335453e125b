#include "platform/posix/handles.h"

pthread_mutex_t platformLock = PTHREAD_MUTEX_INITIALIZER;

namespace {

// A handle is the object's address: objects are never reused while a handle can name them, and
// a closed handle is detected by its entry in the table of open handles.
const int MAX_HANDLES = 4096;
KernelObject* openHandles[MAX_HANDLES];

} // namespace

HANDLE OpenHandle(KernelObject* object)
{
    pthread_mutex_lock(&platformLock);
    HANDLE handle = nullptr;
    for (int i = 0; i < MAX_HANDLES; ++i) {
        if (openHandles[i] == nullptr) {
            openHandles[i] = object;
            object->references++;
            handle = (HANDLE)&openHandles[i];
            break;
        }
    }
    pthread_mutex_unlock(&platformLock);
    return handle;
}

KernelObject* LookUpHandle(HANDLE handle, ObjectKind kind)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return nullptr;
    KernelObject** slot = (KernelObject**)handle;
    if (slot < &openHandles[0] || slot >= &openHandles[MAX_HANDLES] || *slot == nullptr)
        return nullptr;
    if (kind != 0 && (*slot)->kind != kind)
        return nullptr;
    return *slot;
}

BOOL CloseHandle(HANDLE handle)
{
    pthread_mutex_lock(&platformLock);
    KernelObject* object = LookUpHandle(handle, (ObjectKind)0);
    if (object == nullptr) {
        pthread_mutex_unlock(&platformLock);
        return FALSE;
    }
    *(KernelObject**)handle = nullptr;
    bool last = --object->references == 0;
    pthread_mutex_unlock(&platformLock);
    if (last && object->destroy != nullptr)
        object->destroy(object);
    return TRUE;
}

HANDLE GetCurrentProcess(void)
{
    return (HANDLE)(intptr_t)-1;
}

BOOL DuplicateHandle(HANDLE, HANDLE source, HANDLE, HANDLE* target, DWORD, BOOL, DWORD)
{
    pthread_mutex_lock(&platformLock);
    KernelObject* object = LookUpHandle(source, (ObjectKind)0);
    if (object != nullptr)
        object->references++; // held while the new handle is made
    pthread_mutex_unlock(&platformLock);
    if (object == nullptr)
        return FALSE;
    *target = OpenHandle(object);
    pthread_mutex_lock(&platformLock);
    bool last = --object->references == 0;
    pthread_mutex_unlock(&platformLock);
    if (last && object->destroy != nullptr)
        object->destroy(object);
    return *target != nullptr;
}
