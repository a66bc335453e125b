#include "host/settings_path.h"

#include <string.h>

namespace {

const char* const SETTINGS_FILE_NAME = "Settings.ini";

} // namespace

bool DeriveSettingsPath(const char* modulePath, char settingsPath[FOLDER_SIZE])
{
    settingsPath[0] = '\0';
    const char* lastBackslash = strrchr(modulePath, '\\');
    if (lastBackslash == nullptr)
        return false;
    size_t folderLength = (size_t)(lastBackslash - modulePath) + 1;
    if (folderLength + strlen(SETTINGS_FILE_NAME) >= FOLDER_SIZE)
        return false;
    memcpy(settingsPath, modulePath, folderLength);
    strcpy(settingsPath + folderLength, SETTINGS_FILE_NAME);
    return true;
}
