// CreateFileA, WriteFile and DeleteFileA over POSIX descriptors.
#include "platform/posix/handles.h"
#include "platform/posix/paths.h"
#include "platform/posix/platform_control.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

// Files come from a fixed pool rather than the heap, so that a detail step, which opens one file,
// allocates nothing here either. More files open at once than the pool holds fail like a process
// out of handles.
const int FILE_POOL_SIZE = 64;

struct FileObject {
    KernelObject base;
    int descriptor;
    bool used;
};

FileObject filePool[FILE_POOL_SIZE]; // `used` guarded by platformLock

void ReleaseFileObject(FileObject* file)
{
    pthread_mutex_lock(&platformLock);
    file->used = false;
    pthread_mutex_unlock(&platformLock);
}

void DestroyFile(KernelObject* object)
{
    FileObject* file = (FileObject*)object;
    close(file->descriptor);
    ReleaseFileObject(file);
}

FileObject* TakeFileObject(int descriptor)
{
    FileObject* taken = nullptr;
    pthread_mutex_lock(&platformLock);
    for (FileObject& file : filePool) {
        if (!file.used) {
            file.used = true;
            taken = &file;
            break;
        }
    }
    pthread_mutex_unlock(&platformLock);
    if (taken != nullptr) {
        taken->base = KernelObject{OBJECT_FILE, 0, DestroyFile};
        taken->descriptor = descriptor;
    }
    return taken;
}

FileObject* LookUpFile(HANDLE handle)
{
    pthread_mutex_lock(&platformLock);
    FileObject* file = (FileObject*)LookUpHandle(handle, OBJECT_FILE);
    pthread_mutex_unlock(&platformLock);
    return file;
}

} // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD,
                   HANDLE)
{
    char path[MAX_PATH];
    if (!ToPosixPath(name, path) || path[0] == '\0' || TakeFault(FAULT_CREATE_FILE))
        return INVALID_HANDLE_VALUE;
    int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case OPEN_EXISTING: break;
    default: return INVALID_HANDLE_VALUE;
    }
    int descriptor = open(path, flags | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return INVALID_HANDLE_VALUE;
    FileObject* file = TakeFileObject(descriptor);
    HANDLE handle = file != nullptr ? OpenHandle(&file->base) : nullptr;
    if (handle == nullptr) {
        close(descriptor);
        if (file != nullptr)
            ReleaseFileObject(file);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

BOOL WriteFile(HANDLE handle, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED)
{
    if (written != nullptr)
        *written = 0;
    FileObject* file = LookUpFile(handle);
    if (file == nullptr)
        return FALSE;
    if (TakeFault(FAULT_SHORT_WRITE))
        size /= 2; // a full disk: part of the data, and the call still reports success
    DWORD done = 0;
    while (done < size) {
        ssize_t count = write(file->descriptor, (const char*)data + done, size - done);
        if (count <= 0)
            break;
        done += (DWORD)count;
    }
    if (written != nullptr)
        *written = done;
    return done == size;
}

BOOL DeleteFileA(LPCSTR name)
{
    char path[MAX_PATH];
    if (!ToPosixPath(name, path) || TakeFault(FAULT_DELETE_FILE))
        return FALSE;
    return unlink(path) == 0;
}
