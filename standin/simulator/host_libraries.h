// The two libraries a host loads: the core DVBCore.dll and the plug-in Quorvane.dll, from a host
// folder of their own where Settings.ini lies beside the core, as it does on Windows.
#pragma once

#include "standin/core.h"

#include <string>

struct HostLibraries {
    void* core;
    void* plugin;
    // The plug-in's four exports.
    int(WINAPI* getInfo)(uint8_t* info);
    int(WINAPI* init)(UINT_PTR first, HWND hostWindow, UINT_PTR third);
    int(WINAPI* call)(UINT_PTR first, UINT_PTR second);
    int(WINAPI* close)(UINT_PTR first);
    // What the host scripts in the stand-in core.
    void (*reset)(void);
    void (*setChannel)(int index, uint16_t serviceId, const char* name);
    void (*setCurrentChannel)(uint16_t index);
    void (*setNetworkId)(uint16_t networkId);
    void (*setEpgProvider)(StandinEpgProvider provider);
    bool (*notify)(DWORD code);
};

// Copies the core and the plug-in into hostFolder under their Windows names and loads them: the core
// first and globally, so that the plug-in's imports bind to it.
bool LoadHostLibraries(const std::string& corePath, const std::string& pluginPath, const std::string& hostFolder,
                       HostLibraries* libraries, std::string* message);
void UnloadHostLibraries(HostLibraries* libraries);
