#include "settings/settings_file.h"

#include "capture/records.h"

#include <charconv>
#include <stddef.h>
#include <stdio.h>

namespace {

const char* const HOST_SECTION = "MyTheatre";
const char* const PLUGIN_SECTION = "Quorvane";
const int NUMBER_TEXT_SIZE = 40; // 32 binary digits and a terminator, with room to spare

// One key of Settings.ini, filling the Settings field of the same name.
struct SettingKey {
    const char* section;
    const char* key;
    size_t offset;                // of the field in Settings
    bool isText;
    const char* defaultText;
    DWORD readSize;               // a text keeps at most readSize - 1 characters
    int defaultValue;
    unsigned mask;                // a number keeps only these bits of what was stored
    int radix;                    // a number is written with these digits
};

#define TEXT_KEY(section, field, defaultText, readSize) \
    {section, #field, offsetof(Settings, field), true, defaultText, readSize, 0, 0, 0}
#define NUMBER_KEY(section, field, defaultValue, mask, radix) \
    {section, #field, offsetof(Settings, field), false, nullptr, 0, defaultValue, mask, radix}

// In the order in which they are read and written.
const SettingKey SETTING_KEYS[] = {
    TEXT_KEY(HOST_SECTION, FileName, ".\\", FOLDER_SIZE - 1),
    TEXT_KEY(HOST_SECTION, RecFileNaming, "", NAMING_SIZE - 1),
    NUMBER_KEY(PLUGIN_SECTION, Enable, 1, 0x1, 2),
    NUMBER_KEY(PLUGIN_SECTION, Delay, 180, 0xFFFF, 10),
    NUMBER_KEY(PLUGIN_SECTION, AltFileNaming, 0, 0x1, 2),
    TEXT_KEY(PLUGIN_SECTION, AltDetPath, "", FOLDER_SIZE - 1),
    TEXT_KEY(PLUGIN_SECTION, RecFileNameSuffix, ".mpg", SUFFIX_SIZE - 1),
    TEXT_KEY(PLUGIN_SECTION, DetFileNameSuffix, ".txt", SUFFIX_SIZE - 1),
    TEXT_KEY(PLUGIN_SECTION, DVBDevice_Name, "", FREE_TEXT_SIZE - 1),
    TEXT_KEY(PLUGIN_SECTION, Comment, "", FREE_TEXT_SIZE - 1),
};

#undef TEXT_KEY
#undef NUMBER_KEY

char* TextField(const SettingKey& key)
{
    return (char*)&settings + key.offset;
}

int* NumberField(const SettingKey& key)
{
    return (int*)((char*)&settings + key.offset);
}

} // namespace

void LoadSettings(void)
{
    const char* path = pluginContext.settingsPath;
    bool hasFile = path[0] != '\0';
    for (const SettingKey& key : SETTING_KEYS) {
        if (key.isText) {
            if (hasFile)
                GetPrivateProfileStringA(key.section, key.key, key.defaultText, TextField(key), key.readSize, path);
            else
                snprintf(TextField(key), key.readSize, "%s", key.defaultText);
        } else {
            // The mask, not a range check: whatever number was stored keeps its low bits.
            int stored = hasFile ? (int)GetPrivateProfileIntA(key.section, key.key, key.defaultValue, path)
                                 : key.defaultValue;
            *NumberField(key) = (int)((unsigned)stored & key.mask);
        }
    }
}

void SaveSettings(void)
{
    const char* path = pluginContext.settingsPath;
    if (path[0] == '\0')
        return;
    for (const SettingKey& key : SETTING_KEYS) {
        if (key.isText) {
            WritePrivateProfileStringA(key.section, key.key, TextField(key), path);
        } else {
            char digits[NUMBER_TEXT_SIZE];
            std::to_chars_result end =
                std::to_chars(digits, digits + sizeof digits - 1, (unsigned)*NumberField(key), key.radix);
            *end.ptr = '\0';
            WritePrivateProfileStringA(key.section, key.key, digits, path);
        }
    }
}
