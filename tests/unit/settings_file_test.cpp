// Settings.ini: the ten keys with their defaults, limits and masks, and saves that keep the host's lines.
#include "capture/records.h"
#include "platform/posix/platform_control.h"
#include "settings/settings_file.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

const char POISON = 'P';

// The ten defaults, as a missing file gives them.
Settings DefaultSettings()
{
    Settings defaults;
    memset(&defaults, 0, sizeof defaults);
    strcpy(defaults.FileName, ".\\");
    defaults.Enable = 1;
    defaults.Delay = 180;
    strcpy(defaults.RecFileNameSuffix, ".mpg");
    strcpy(defaults.DetFileNameSuffix, ".txt");
    return defaults;
}

void ExpectSameSettings(const Settings& expected, const Settings& actual)
{
    EXPECT_STREQ(expected.FileName, actual.FileName);
    EXPECT_STREQ(expected.RecFileNaming, actual.RecFileNaming);
    EXPECT_EQ(expected.Enable, actual.Enable);
    EXPECT_EQ(expected.Delay, actual.Delay);
    EXPECT_EQ(expected.AltFileNaming, actual.AltFileNaming);
    EXPECT_STREQ(expected.AltDetPath, actual.AltDetPath);
    EXPECT_STREQ(expected.RecFileNameSuffix, actual.RecFileNameSuffix);
    EXPECT_STREQ(expected.DetFileNameSuffix, actual.DetFileNameSuffix);
    EXPECT_STREQ(expected.DVBDevice_Name, actual.DVBDevice_Name);
    EXPECT_STREQ(expected.Comment, actual.Comment);
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRecords();
        ClearFaults();
        folder = MakeScratchFolder("settings");
        path = folder + "Settings.ini";
        strcpy(pluginContext.settingsPath, ToWindowsPath(path).c_str());
        memset(&settings, POISON, sizeof settings);
    }
    void TearDown() override { ClearFaults(); }

    std::string folder;
    std::string path;
};

TEST_F(SettingsFileTest, NoFileGivesTheTenDefaults)
{
    LoadSettings();
    ExpectSameSettings(DefaultSettings(), settings);
    EXPECT_FALSE(FileExists(path)); // loading never creates the file
}

TEST_F(SettingsFileTest, NoSettingsPathGivesTheDefaultsAndTouchesNoFile)
{
    pluginContext.settingsPath[0] = '\0';
    SetFault(FAULT_WRITE_PROFILE, 1); // still pending afterwards only if nothing tried to write
    LoadSettings();
    ExpectSameSettings(DefaultSettings(), settings);
    SaveSettings();
    EXPECT_TRUE(TakeFault(FAULT_WRITE_PROFILE));
    EXPECT_FALSE(FileExists(path));
}

// One key stored in an otherwise empty file; every other field must come out at its default.
struct LoadCase {
    int row;
    const char* section;
    const char* key;
    std::string stored;           // the value text after "="
    std::string text;             // the expected text of a text key
    int number;                   // the expected value of a number key
};

const std::string LONG_600(600, 'f');
const std::string LONG_300(300, 'n');
const std::string LONG_100(100, 's');

const LoadCase LOAD_CASES[] = {
    {1, "Quorvane", "Delay", "70000", "", 4464},
    {2, "Quorvane", "Delay", "65536", "", 0},
    {3, "Quorvane", "Delay", "40000", "", 40000},
    {4, "Quorvane", "Delay", "65535", "", 65535},
    {5, "Quorvane", "Delay", "-1", "", 65535},
    {6, "Quorvane", "Delay", "4294967297", "", 1},
    {7, "Quorvane", "Enable", "2", "", 0},
    {8, "Quorvane", "Enable", "3", "", 1},
    {9, "Quorvane", "Enable", "0", "", 0},
    {10, "Quorvane", "AltFileNaming", "2", "", 0},
    {11, "Quorvane", "AltFileNaming", "3", "", 1},
    {12, "MyTheatre", "FileName", LONG_600, LONG_600.substr(0, 510), 0},
    {13, "MyTheatre", "FileName", "D:\\Rec\\", "D:\\Rec\\", 0},
    {14, "MyTheatre", "FileName", "", "", 0},
    {15, "MyTheatre", "RecFileNaming", LONG_300, LONG_300.substr(0, 254), 0},
    {16, "Quorvane", "AltDetPath", LONG_600, LONG_600.substr(0, 510), 0},
    {17, "Quorvane", "RecFileNameSuffix", LONG_100, LONG_100.substr(0, 62), 0},
    {18, "Quorvane", "RecFileNameSuffix", "", "", 0},
    {19, "Quorvane", "DetFileNameSuffix", "", "", 0},
    {20, "Quorvane", "DetFileNameSuffix", ".nfo", ".nfo", 0},
    {21, "Quorvane", "DVBDevice_Name", LONG_300, LONG_300.substr(0, 254), 0},
    {22, "Quorvane", "Comment", LONG_300, LONG_300.substr(0, 254), 0},
    {23, "Quorvane", "Comment", "no \\ trailing", "no \\ trailing", 0},
    {24, "MyTheatre", "Delay", "5", "", 180},   // a key of the wrong section is no key
    {25, "Quorvane", "FileName", "X:\\", ".\\", 0},
};

void ApplyExpected(const LoadCase& c, Settings& expected)
{
    std::string key = c.key;
    bool rightSection = (key == "FileName" || key == "RecFileNaming") == (std::string(c.section) == "MyTheatre");
    if (!rightSection)
        return;
    if (key == "FileName") strcpy(expected.FileName, c.text.c_str());
    if (key == "RecFileNaming") strcpy(expected.RecFileNaming, c.text.c_str());
    if (key == "Enable") expected.Enable = c.number;
    if (key == "Delay") expected.Delay = c.number;
    if (key == "AltFileNaming") expected.AltFileNaming = c.number;
    if (key == "AltDetPath") strcpy(expected.AltDetPath, c.text.c_str());
    if (key == "RecFileNameSuffix") strcpy(expected.RecFileNameSuffix, c.text.c_str());
    if (key == "DetFileNameSuffix") strcpy(expected.DetFileNameSuffix, c.text.c_str());
    if (key == "DVBDevice_Name") strcpy(expected.DVBDevice_Name, c.text.c_str());
    if (key == "Comment") strcpy(expected.Comment, c.text.c_str());
}

TEST_F(SettingsFileTest, LoadCases)
{
    for (const LoadCase& c : LOAD_CASES) {
        SCOPED_TRACE(c.row);
        std::string file = std::string("[") + c.section + "]\r\n" + c.key + "=" + c.stored + "\r\n";
        WriteWholeFile(path, file);
        memset(&settings, POISON, sizeof settings);
        LoadSettings();
        Settings expected = DefaultSettings();
        ApplyExpected(c, expected);
        ExpectSameSettings(expected, settings);
        EXPECT_EQ(file, ReadWholeFile(path)); // a load leaves the file alone
    }
}

// The read sizes are one short of the capacities: a longest text leaves the last byte untouched.
TEST_F(SettingsFileTest, LongestTextsLeaveTheLastByteOfEachField)
{
    std::string file = "[MyTheatre]\r\nFileName=" + LONG_600 + "\r\nRecFileNaming=" + LONG_600 +
                       "\r\n[Quorvane]\r\nAltDetPath=" + LONG_600 + "\r\nRecFileNameSuffix=" + LONG_600 +
                       "\r\nDetFileNameSuffix=" + LONG_600 + "\r\nDVBDevice_Name=" + LONG_600 +
                       "\r\nComment=" + LONG_600 + "\r\n";
    WriteWholeFile(path, file);
    LoadSettings();
    struct Field { const char* name; const char* text; int capacity; };
    const Field fields[] = {
        {"FileName", settings.FileName, FOLDER_SIZE},
        {"RecFileNaming", settings.RecFileNaming, NAMING_SIZE},
        {"AltDetPath", settings.AltDetPath, FOLDER_SIZE},
        {"RecFileNameSuffix", settings.RecFileNameSuffix, SUFFIX_SIZE},
        {"DetFileNameSuffix", settings.DetFileNameSuffix, SUFFIX_SIZE},
        {"DVBDevice_Name", settings.DVBDevice_Name, FREE_TEXT_SIZE},
        {"Comment", settings.Comment, FREE_TEXT_SIZE},
    };
    for (const Field& field : fields) {
        SCOPED_TRACE(field.name);
        EXPECT_EQ((size_t)field.capacity - 2, strlen(field.text));
        EXPECT_EQ(POISON, field.text[field.capacity - 1]);
    }
}

TEST_F(SettingsFileTest, SaveOfTheDefaultsMakesTheFile)
{
    LoadSettings();
    SaveSettings();
    EXPECT_EQ("[MyTheatre]\r\n"
              "FileName=.\\\r\n"
              "RecFileNaming=\r\n"
              "[Quorvane]\r\n"
              "Enable=1\r\n"
              "Delay=180\r\n"
              "AltFileNaming=0\r\n"
              "AltDetPath=\r\n"
              "RecFileNameSuffix=.mpg\r\n"
              "DetFileNameSuffix=.txt\r\n"
              "DVBDevice_Name=\r\n"
              "Comment=\r\n",
              ReadWholeFile(path));
}

TEST_F(SettingsFileTest, SaveAfterMaskedLoadWritesMaskedValuesAndKeepsTheHostsLines)
{
    WriteWholeFile(path, "; written by the host\r\n"
                         "[MyTheatre]\r\n"
                         "Skin=Blue\r\n"
                         "FileName=D:\\Rec\\\r\n"
                         "Volume=80\r\n"
                         "\r\n"
                         "[Quorvane]\r\n"
                         "Enable=3\r\n"
                         "Delay=70000\r\n"
                         "AltFileNaming=2\r\n"
                         "Comment=keep me\r\n"
                         "[Channels]\r\n"
                         "Count=2\r\n");
    LoadSettings();
    SaveSettings();
    EXPECT_EQ("; written by the host\r\n"
              "[MyTheatre]\r\n"
              "Skin=Blue\r\n"
              "FileName=D:\\Rec\\\r\n"
              "Volume=80\r\n"
              "RecFileNaming=\r\n"
              "\r\n"
              "[Quorvane]\r\n"
              "Enable=1\r\n"
              "Delay=4464\r\n"
              "AltFileNaming=0\r\n"
              "Comment=keep me\r\n"
              "AltDetPath=\r\n"
              "RecFileNameSuffix=.mpg\r\n"
              "DetFileNameSuffix=.txt\r\n"
              "DVBDevice_Name=\r\n"
              "[Channels]\r\n"
              "Count=2\r\n",
              ReadWholeFile(path));
}

// What the dialog may leave in the record is saved as it stands and loads back within the limits.
TEST_F(SettingsFileTest, SaveThenLoadRoundTrip)
{
    const std::string folder511 = std::string(510, 'r') + "\\";
    memset(&settings, 0, sizeof settings);
    strcpy(settings.FileName, folder511.c_str());
    strcpy(settings.RecFileNaming, "%C_%D");
    settings.Enable = 0;
    settings.Delay = 32767;
    settings.AltFileNaming = 1;
    strcpy(settings.AltDetPath, "E:\\Details\\");
    settings.RecFileNameSuffix[0] = '\0';
    strcpy(settings.DetFileNameSuffix, ".nfo");
    strcpy(settings.DVBDevice_Name, "Card = 1; slot \"A\"");
    strcpy(settings.Comment, "x");
    Settings saved = settings;
    SaveSettings();
    EXPECT_EQ("[MyTheatre]\r\n"
              "FileName=" + folder511 + "\r\n"
              "RecFileNaming=%C_%D\r\n"
              "[Quorvane]\r\n"
              "Enable=0\r\n"
              "Delay=32767\r\n"
              "AltFileNaming=1\r\n"
              "AltDetPath=E:\\Details\\\r\n"
              "RecFileNameSuffix=\r\n"
              "DetFileNameSuffix=.nfo\r\n"
              "DVBDevice_Name=Card = 1; slot \"A\"\r\n"
              "Comment=x\r\n",
              ReadWholeFile(path));

    memset(&settings, POISON, sizeof settings);
    LoadSettings();
    Settings expected = saved;
    expected.FileName[510] = '\0'; // the 511th character is beyond the read size
    ExpectSameSettings(expected, settings);
}

// Numbers are written as digits in their radix, whatever their value in memory.
TEST_F(SettingsFileTest, NumbersAreWrittenInTheirRadix)
{
    struct NumberCase { int row; int enable; int delay; int altFileNaming; const char* lines; };
    const NumberCase cases[] = {
        {1, 1, 0, 0, "Enable=1\r\nDelay=0\r\nAltFileNaming=0\r\n"},
        {2, 0, 1, 1, "Enable=0\r\nDelay=1\r\nAltFileNaming=1\r\n"},
        {3, 1, 65535, 1, "Enable=1\r\nDelay=65535\r\nAltFileNaming=1\r\n"},
        {4, 1, 40000, 0, "Enable=1\r\nDelay=40000\r\nAltFileNaming=0\r\n"},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.row);
        remove(path.c_str());
        memset(&settings, 0, sizeof settings);
        settings.Enable = c.enable;
        settings.Delay = c.delay;
        settings.AltFileNaming = c.altFileNaming;
        SaveSettings();
        EXPECT_EQ(std::string("[MyTheatre]\r\nFileName=\r\nRecFileNaming=\r\n[Quorvane]\r\n") + c.lines +
                      "AltDetPath=\r\nRecFileNameSuffix=\r\nDetFileNameSuffix=\r\nDVBDevice_Name=\r\nComment=\r\n",
                  ReadWholeFile(path));
    }
}

TEST_F(SettingsFileTest, FailedWriteKeepsTheValuesInMemory)
{
    WriteWholeFile(path, "[Quorvane]\r\nDelay=60\r\n");
    LoadSettings();
    settings.Delay = 90;
    Settings before = settings;
    SetFault(FAULT_WRITE_PROFILE, 100);
    SaveSettings();
    ClearFaults();
    EXPECT_EQ("[Quorvane]\r\nDelay=60\r\n", ReadWholeFile(path));
    ExpectSameSettings(before, settings);
}

} // namespace
