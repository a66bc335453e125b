// The POSIX handle table: every HANDLE is a reference-counted kernel object of one kind.
#pragma once

#include "platform/win32.h"

enum ObjectKind { OBJECT_FILE = 1, OBJECT_EVENT, OBJECT_TIMER, OBJECT_THREAD, OBJECT_PROCESS };

struct KernelObject {
    ObjectKind kind;
    int references;              // handles open on it; guarded by the platform lock
    void (*destroy)(KernelObject* object);
};

// Every handle operation and every object's state is guarded by this one lock, which the waits'
// condition variable uses as well.
extern pthread_mutex_t platformLock;

HANDLE OpenHandle(KernelObject* object);
// The object of a handle if it is of the given kind (0: any); null for an invalid or closed one.
// Call with platformLock held.
KernelObject* LookUpHandle(HANDLE handle, ObjectKind kind);
