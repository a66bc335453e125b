// Settings.ini beside the host core: the settings path derived from the core's module path.
#include "host/settings_path.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

const char POISON = 'P';

struct PathCase {
    int row;
    const char* modulePath;
    bool derived;
    const char* settingsPath;   // empty when nothing is derived
};

const PathCase PATH_CASES[] = {
    {1, "D:\\Apps\\TV\\DVBCore.dll", true, "D:\\Apps\\TV\\Settings.ini"},
    {2, "C:\\DVBCore.dll", true, "C:\\Settings.ini"},
    {3, "\\\\server\\share\\TV\\DVBCore.dll", true, "\\\\server\\share\\TV\\Settings.ini"},
    {4, "D:\\Apps\\TV\\", true, "D:\\Apps\\TV\\Settings.ini"},
    {5, "Z:\\tmp\\host.d\\DVBCORE.DLL", true, "Z:\\tmp\\host.d\\Settings.ini"}, // the last backslash counts
    {6, "D:/Apps/TV/DVBCore.dll", false, ""}, // only a backslash separates folders
    {7, "DVBCore.dll", false, ""},
    {8, "", false, ""},
};

TEST(SettingsPath, TableOfCases)
{
    for (const PathCase& c : PATH_CASES) {
        SCOPED_TRACE(c.row);
        char settingsPath[FOLDER_SIZE];
        memset(settingsPath, POISON, sizeof settingsPath);
        EXPECT_EQ(c.derived, DeriveSettingsPath(c.modulePath, settingsPath));
        EXPECT_STREQ(c.settingsPath, settingsPath);
        EXPECT_EQ(POISON, settingsPath[strlen(c.settingsPath) + 1]); // nothing written past the terminator
    }
}

// The folder's length at which "Settings.ini" and its terminator fill the 512 bytes exactly.
const size_t FULL_FOLDER = FOLDER_SIZE - 1 - strlen("Settings.ini");

std::string ModulePathInFolderOf(size_t folderLength)
{
    std::string folder = "D:" + std::string(folderLength - 3, 'a') + "\\";
    return folder + "DVBCore.dll";
}

TEST(SettingsPath, FolderThatExactlyFits)
{
    std::string modulePath = ModulePathInFolderOf(FULL_FOLDER);
    char settingsPath[FOLDER_SIZE];
    memset(settingsPath, POISON, sizeof settingsPath);
    ASSERT_TRUE(DeriveSettingsPath(modulePath.c_str(), settingsPath));
    EXPECT_EQ(modulePath.substr(0, FULL_FOLDER) + "Settings.ini", std::string(settingsPath));
    EXPECT_EQ((size_t)FOLDER_SIZE - 1, strlen(settingsPath));
}

TEST(SettingsPath, FolderOneTooLongGivesNoPath)
{
    std::string modulePath = ModulePathInFolderOf(FULL_FOLDER + 1);
    char settingsPath[FOLDER_SIZE];
    memset(settingsPath, POISON, sizeof settingsPath);
    EXPECT_FALSE(DeriveSettingsPath(modulePath.c_str(), settingsPath));
    EXPECT_STREQ("", settingsPath);
    EXPECT_EQ(POISON, settingsPath[1]);
}

} // namespace
