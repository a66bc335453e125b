// Where the plug-in's settings live: Settings.ini in the folder of the host core's module.
#pragma once

#include "capture/records.h"

// Settings.ini in the folder of the given module path; false (and an empty path) when the module
// path has no folder or the result would not fit: no settings file is read or written then.
bool DeriveSettingsPath(const char* modulePath, char settingsPath[FOLDER_SIZE]);
