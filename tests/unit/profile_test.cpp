// The profile functions of the POSIX platform: the shared case table, then what only this layer has
// (faults, read-only files, the replace-by-rename, files of any size, over-long paths).
#include "platform/posix/platform_control.h"
#include "tests/profile_cases.h"
#include "tests/support/profile_check.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <dirent.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

// A row shows as its number in test names and messages, not as raw bytes.
void PrintTo(const ProfileCase& row, std::ostream* out)
{
    *out << "case " << row.number;
}

namespace {

// The plug-in passes Windows paths; these tests do the same.
std::string ScratchFolderInWindowsForm(void)
{
    static std::string folder = ToWindowsPath(MakeScratchFolder("profile"));
    return folder;
}

class ProfileCaseTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileCaseTest, MatchesWindows)
{
    ClearFaults();
    EXPECT_EQ("", CheckProfileCase(GetParam(), ScratchFolderInWindowsForm(), FromWindowsPath));
}

INSTANTIATE_TEST_SUITE_P(Table, ProfileCaseTest, ::testing::ValuesIn(PROFILE_CASES),
                         [](const ::testing::TestParamInfo<ProfileCase>& info) {
                             return "Case" + std::to_string(info.param.number);
                         });

TEST(Profile, CaseNumbersAreUnique)
{
    std::vector<int> seen;
    for (const ProfileCase& row : PROFILE_CASES) {
        for (int number : seen)
            EXPECT_NE(number, row.number);
        seen.push_back(row.number);
    }
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr)
        return names;
    while (dirent* entry = readdir(directory)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    }
    closedir(directory);
    return names;
}

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearFaults();
        folder = MakeScratchFolder("profile-file");
        ASSERT_FALSE(folder.empty());
        path = folder + "Settings.ini";
        windowsPath = ToWindowsPath(path);
    }
    void TearDown() override { ClearFaults(); }

    std::string folder;
    std::string path;
    std::string windowsPath;
};

TEST_F(ProfileFileTest, FaultedWriteLeavesTheFileAsItWas)
{
    const std::string before = "[Quorvane]\r\nDelay=180\r\n";
    WriteWholeFile(path, before);
    SetFault(FAULT_WRITE_PROFILE, 1);
    EXPECT_FALSE(WritePrivateProfileStringA("Quorvane", "Delay", "200", windowsPath.c_str()));
    EXPECT_EQ(before, ReadWholeFile(path));
    EXPECT_TRUE(WritePrivateProfileStringA("Quorvane", "Delay", "200", windowsPath.c_str()));
    EXPECT_EQ("[Quorvane]\r\nDelay=200\r\n", ReadWholeFile(path));
}

TEST_F(ProfileFileTest, FaultedWriteCreatesNoFile)
{
    SetFault(FAULT_WRITE_PROFILE, 1);
    EXPECT_FALSE(WritePrivateProfileStringA("Quorvane", "Delay", "200", windowsPath.c_str()));
    EXPECT_FALSE(FileExists(path));
}

TEST_F(ProfileFileTest, ReadOnlyFileIsNotWritten)
{
    const std::string before = "[Quorvane]\r\nDelay=180\r\n";
    WriteWholeFile(path, before);
    ASSERT_EQ(0, chmod(path.c_str(), 0444));
    EXPECT_FALSE(WritePrivateProfileStringA("Quorvane", "Delay", "200", windowsPath.c_str()));
    EXPECT_EQ(before, ReadWholeFile(path));
    char buffer[64];
    EXPECT_EQ(3u, GetPrivateProfileStringA("Quorvane", "Delay", "", buffer, sizeof buffer, windowsPath.c_str()));
    EXPECT_STREQ("180", buffer);
}

TEST_F(ProfileFileTest, WritesLeaveNothingBesideTheFileAndKeepItsMode)
{
    WriteWholeFile(path, "[Quorvane]\r\nDelay=180\r\n");
    ASSERT_EQ(0, chmod(path.c_str(), 0640));
    for (const char* key : {"Delay", "Enable", "Comment"})
        EXPECT_TRUE(WritePrivateProfileStringA("Quorvane", key, "1", windowsPath.c_str()));
    EXPECT_EQ(std::vector<std::string>{"Settings.ini"}, ListFolder(folder));
    struct stat info;
    ASSERT_EQ(0, stat(path.c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 07777);
    EXPECT_EQ("[Quorvane]\r\nDelay=1\r\nEnable=1\r\nComment=1\r\n", ReadWholeFile(path));
}

TEST_F(ProfileFileTest, LargeFileIsReadAndWrittenWhole)
{
    // Several megabytes of other sections: nothing is cut, and the key at the very end is found.
    std::string before;
    for (int i = 0; i < 40000; ++i)
        before += "[Other" + std::to_string(i) + "]\r\nkey=" + std::string(80, 'x') + "\r\n";
    before += "[Quorvane]\r\nDelay=180\r\n";
    WriteWholeFile(path, before);
    EXPECT_EQ(180u, GetPrivateProfileIntA("Quorvane", "Delay", 7, windowsPath.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("Quorvane", "Comment", "end", windowsPath.c_str()));
    EXPECT_EQ(before + "Comment=end\r\n", ReadWholeFile(path));
    EXPECT_TRUE(WritePrivateProfileStringA("Other0", "key", "y", windowsPath.c_str()));
    EXPECT_EQ("[Other0]\r\nkey=y\r\n" + before.substr(before.find("[Other1]")) + "Comment=end\r\n",
              ReadWholeFile(path));
}

TEST_F(ProfileFileTest, PathOfMaxPathCharactersIsRefused)
{
    std::string longPath = windowsPath + "\\" + std::string(MAX_PATH, 'a');
    longPath.resize(MAX_PATH);
    char buffer[64];
    memset(buffer, 'P', sizeof buffer);
    EXPECT_EQ(4u, GetPrivateProfileStringA("S", "k", "dflt", buffer, sizeof buffer, longPath.c_str()));
    EXPECT_STREQ("dflt", buffer);
    EXPECT_EQ(9u, GetPrivateProfileIntA("S", "k", 9, longPath.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", longPath.c_str()));
}

TEST_F(ProfileFileTest, FolderInsteadOfFileIsNotWritten)
{
    ASSERT_EQ(0, mkdir(path.c_str(), 0755));
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", windowsPath.c_str()));
    char buffer[64];
    EXPECT_EQ(4u, GetPrivateProfileStringA("S", "k", "dflt", buffer, sizeof buffer, windowsPath.c_str()));
}

} // namespace
