#include "standin/simulator/host_libraries.h"

#include <dlfcn.h>
#include <errno.h>
#include <string.h>

#include <fstream>

namespace {

bool CopyFile(const std::string& from, const std::string& to, std::string* message)
{
    std::ifstream in(from, std::ios::binary);
    if (!in) {
        *message = from + ": cannot open: " + strerror(errno);
        return false;
    }
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    out.close();
    if (!out) {
        *message = to + ": cannot write the copy";
        return false;
    }
    return true;
}

template <typename Function>
bool FindSymbol(void* library, const char* name, const std::string& path, Function* function, std::string* message)
{
    *function = (Function)dlsym(library, name);
    if (*function == nullptr) {
        *message = path + ": has no " + name;
        return false;
    }
    return true;
}

} // namespace

bool LoadHostLibraries(const std::string& corePath, const std::string& pluginPath, const std::string& hostFolder,
                       HostLibraries* libraries, std::string* message)
{
    *libraries = HostLibraries();
    std::string core = hostFolder + "DVBCore.dll", plugin = hostFolder + "Quorvane.dll";
    if (!CopyFile(corePath, core, message) || !CopyFile(pluginPath, plugin, message))
        return false;
    libraries->core = dlopen(core.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (libraries->core == nullptr) {
        *message = std::string("cannot load the core: ") + dlerror();
        return false;
    }
    libraries->plugin = dlopen(plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (libraries->plugin == nullptr) {
        *message = std::string("cannot load the plug-in: ") + dlerror();
        return false;
    }
    void* c = libraries->core;
    void* p = libraries->plugin;
    return FindSymbol(p, "DVBPLGGetInfo", plugin, &libraries->getInfo, message) &&
           FindSymbol(p, "DVBPLGInit", plugin, &libraries->init, message) &&
           FindSymbol(p, "DVBPLGCall", plugin, &libraries->call, message) &&
           FindSymbol(p, "DVBPLGClose", plugin, &libraries->close, message) &&
           FindSymbol(c, "StandinReset", core, &libraries->reset, message) &&
           FindSymbol(c, "StandinSetChannel", core, &libraries->setChannel, message) &&
           FindSymbol(c, "StandinSetCurrentChannel", core, &libraries->setCurrentChannel, message) &&
           FindSymbol(c, "StandinSetNetworkId", core, &libraries->setNetworkId, message) &&
           FindSymbol(c, "StandinSetEpgProvider", core, &libraries->setEpgProvider, message) &&
           FindSymbol(c, "StandinNotify", core, &libraries->notify, message);
}

void UnloadHostLibraries(HostLibraries* libraries)
{
    // The plug-in first: it holds imports of the core.
    if (libraries->plugin != nullptr)
        dlclose(libraries->plugin);
    if (libraries->core != nullptr)
        dlclose(libraries->core);
    *libraries = HostLibraries();
}
