// GetModuleHandleA, GetModuleHandleExA, GetModuleFileNameA and FreeLibrary over the dynamic loader.
//
// An HMODULE is the address at which the object's ELF header is mapped: its load base, as on
// Windows. dladdr reports the same address (dli_fbase), so a module found by name and one found by an
// address inside it compare equal. The main program is a module like any other, found by a null name.
#include "platform/posix/sync.h"

#include <dlfcn.h>
#include <link.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

namespace {

const int MODULE_PATH_SIZE = 4096;

struct ModuleSearch {
    const char* wantedName;       // "/"-separated; a base name unless it holds a "/"; null: by base
    uintptr_t wantedBase;         // when no name is wanted; 0: the main program
    int visited;
    bool found;
    bool isMain;
    uintptr_t base;
    char loadName[MODULE_PATH_SIZE]; // the name the loader knows it by, for dlopen
    char path[MODULE_PATH_SIZE];     // absolute
};

// The loader keeps the name an object was opened by; a relative one is taken from the current folder.
bool MakeFullPath(const char* name, char path[MODULE_PATH_SIZE])
{
    if (name[0] == '/') {
        if (strlen(name) >= (size_t)MODULE_PATH_SIZE)
            return false;
        strcpy(path, name);
        return true;
    }
    if (getcwd(path, MODULE_PATH_SIZE) == nullptr)
        return false;
    while (name[0] == '.' && name[1] == '/')
        name += 2;
    size_t length = strlen(path);
    if (length + 1 + strlen(name) >= (size_t)MODULE_PATH_SIZE)
        return false;
    path[length] = '/';
    strcpy(path + length + 1, name);
    return true;
}

bool ReadObjectPath(const struct dl_phdr_info* info, bool isMain, char path[MODULE_PATH_SIZE])
{
    if (isMain) {
        ssize_t length = readlink("/proc/self/exe", path, MODULE_PATH_SIZE - 1);
        if (length <= 0)
            return false;
        path[length] = '\0';
        return true;
    }
    return info->dlpi_name != nullptr && info->dlpi_name[0] != '\0' && MakeFullPath(info->dlpi_name, path);
}

uintptr_t FindLoadBase(const struct dl_phdr_info* info)
{
    uintptr_t pageSize = (uintptr_t)sysconf(_SC_PAGESIZE);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        if (info->dlpi_phdr[i].p_type == PT_LOAD)
            return info->dlpi_addr + (info->dlpi_phdr[i].p_vaddr & ~(pageSize - 1));
    }
    return 0;
}

bool IsWantedName(const char* path, const char* wanted)
{
    if (strchr(wanted, '/') != nullptr)
        return strcasecmp(path, wanted) == 0;
    return strcasecmp(strrchr(path, '/') + 1, wanted) == 0;
}

// The loader lists the main program first.
int VisitObject(struct dl_phdr_info* info, size_t, void* data)
{
    ModuleSearch* search = (ModuleSearch*)data;
    bool isMain = search->visited++ == 0;
    uintptr_t base = FindLoadBase(info);
    if (search->wantedName == nullptr && (search->wantedBase == 0 ? !isMain : base != search->wantedBase))
        return 0;
    if (!ReadObjectPath(info, isMain, search->path))
        return 0;
    if (search->wantedName != nullptr && !IsWantedName(search->path, search->wantedName))
        return 0;
    search->found = true;
    search->isMain = isMain;
    search->base = base;
    snprintf(search->loadName, sizeof search->loadName, "%s", isMain ? "" : info->dlpi_name);
    return 1;
}

bool FindModuleByBase(HMODULE module, ModuleSearch* search)
{
    *search = ModuleSearch{nullptr, (uintptr_t)module};
    dl_iterate_phdr(VisitObject, search);
    return search->found;
}

// Windows paths and names: "\" separates, and a name without an extension means a ".dll"; a trailing
// "." says the name has no extension.
bool FindModuleByName(const char* name, ModuleSearch* search)
{
    char wanted[MODULE_PATH_SIZE];
    size_t length = strlen(name);
    if (length + 4 >= sizeof wanted)
        return false;
    for (size_t i = 0; i <= length; ++i)
        wanted[i] = name[i] == '\\' ? '/' : name[i];
    const char* baseName = strrchr(wanted, '/') != nullptr ? strrchr(wanted, '/') + 1 : wanted;
    if (length > 0 && wanted[length - 1] == '.')
        wanted[length - 1] = '\0';
    else if (strchr(baseName, '.') == nullptr)
        strcat(wanted, ".dll");
    *search = ModuleSearch{wanted};
    dl_iterate_phdr(VisitObject, search);
    return search->found;
}

} // namespace

HMODULE GetModuleHandleA(LPCSTR name)
{
    ModuleSearch search;
    bool found = name == nullptr ? FindModuleByBase(nullptr, &search) : FindModuleByName(name, &search);
    return found ? (HMODULE)search.base : nullptr;
}

// Taking a reference pins the object for good (RTLD_NODELETE): a thread cannot unload the code it
// returns into, so once anyone holds a library by its address it stays loaded.
BOOL GetModuleHandleExA(DWORD flags, LPCSTR nameOrAddress, HMODULE* module)
{
    if (module == nullptr)
        return FALSE;
    *module = nullptr;
    if ((flags & GET_MODULE_HANDLE_EX_FLAG_PIN) != 0 && (flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) != 0)
        return FALSE;
    ModuleSearch search;
    bool found;
    if ((flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) != 0) {
        Dl_info info;
        found = dladdr(nameOrAddress, &info) != 0 && FindModuleByBase((HMODULE)info.dli_fbase, &search);
    } else {
        found = nameOrAddress == nullptr ? FindModuleByBase(nullptr, &search)
                                         : FindModuleByName(nameOrAddress, &search);
    }
    if (!found)
        return FALSE;
    if ((flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) == 0 && !search.isMain &&
        dlopen(search.loadName, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE) == nullptr)
        return FALSE;
    *module = (HMODULE)search.base;
    return TRUE;
}

// Like Windows, the path is cut to size - 1 characters and a terminator when it does not fit, and
// the result is then `size`.
DWORD GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size)
{
    ModuleSearch search;
    if (path == nullptr || size == 0 || !FindModuleByBase(module, &search))
        return 0;
    DWORD length = (DWORD)strlen(search.path);
    DWORD copied = length < size ? length : size - 1;
    for (DWORD i = 0; i < copied; ++i)
        path[i] = search.path[i] == '/' ? '\\' : search.path[i];
    path[copied] = '\0';
    return length < size ? length : size;
}

// Gives back one reference: the look-up's own dlopen and the one being released.
BOOL FreeLibrary(HMODULE module)
{
    ModuleSearch search;
    if (module == nullptr || !FindModuleByBase(module, &search))
        return FALSE;
    if (search.isMain)
        return TRUE;
    void* object = dlopen(search.loadName, RTLD_LAZY | RTLD_NOLOAD);
    if (object == nullptr)
        return FALSE;
    dlclose(object);
    dlclose(object);
    return TRUE;
}
