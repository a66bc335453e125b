// Names of detail and recording files, the text operations behind them, and the two stamps.
#include "capture/names.h"
#include "capture/text.h"
#include "tests/support/time_zone.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

struct TextCase {
    int row;
    const char* input;
    const char* trimmed;   // after TrimTrailingBlanks
    const char* skipped;   // from SkipLeadingBlanks on
    const char* blanked;   // after BlankForbiddenChars
};

const TextCase TEXT_CASES[] = {
    {1, "", "", "", ""},
    {2, "News", "News", "News", "News"},
    {3, "  \t\r\n", "", "", "     "},
    {4, " a b ", " a b", "a b ", " a b "},
    {5, "News?", "News?", "News?", "News "},
    {6, "Alpha\tTV", "Alpha\tTV", "Alpha\tTV", "Alpha TV"},
    {7, "\r\nx\r\n", "\r\nx", "x\r\n", "  x  "},
    {8, "a\"b*c/d:e<f>g?h\\i|j", "a\"b*c/d:e<f>g?h\\i|j", "a\"b*c/d:e<f>g?h\\i|j", "a b c d e f g h i j"},
    {9, "\x7f\x80\xff", "\x7f\x80\xff", "\x7f\x80\xff", "\x7f\x80\xff"},
    {10, "\x01x\x1f", "\x01x\x1f", "\x01x\x1f", " x "},
    {11, "\v\fx", "\v\fx", "\v\fx", "  x"}, // vertical tab and form feed are no blanks
};

TEST(TextOperations, TableOfCases)
{
    for (const TextCase& c : TEXT_CASES) {
        SCOPED_TRACE(c.row);
        char text[64];
        memset(text, 'P', sizeof text);
        strcpy(text, c.input);
        TrimTrailingBlanks(text);
        EXPECT_STREQ(c.trimmed, text);

        strcpy(text, c.input);
        const char* first = SkipLeadingBlanks(text);
        EXPECT_STREQ(c.skipped, first);
        EXPECT_TRUE(first >= text && first <= text + strlen(text)); // inside the same text

        memset(text, 'P', sizeof text);
        strcpy(text, c.input);
        BlankForbiddenChars(text);
        EXPECT_STREQ(c.blanked, text);
        EXPECT_EQ('P', text[strlen(c.input) + 1]); // nothing written past the terminator
    }
}

TEST(TextOperations, ForbiddenCharactersAreControlBytesAndTheNine)
{
    int forbidden = 0;
    for (int c = 0; c < 256; ++c)
        forbidden += IsForbiddenNameChar((unsigned char)c) ? 1 : 0;
    EXPECT_EQ(32 + 9, forbidden);
    for (unsigned char c : std::string("\"*/:<>?\\|"))
        EXPECT_TRUE(IsForbiddenNameChar(c)) << c;
    EXPECT_FALSE(IsForbiddenNameChar(' '));
    EXPECT_FALSE(IsForbiddenNameChar(0x7F));
    EXPECT_FALSE(IsForbiddenNameChar(0xA0));
}

TEST(TextOperations, MonthAbbrev)
{
    EXPECT_STREQ("Jan", MonthAbbrev(0));
    EXPECT_STREQ("Apr", MonthAbbrev(3));
    EXPECT_STREQ("Dec", MonthAbbrev(11));
    EXPECT_STREQ("---", MonthAbbrev(12));
    EXPECT_STREQ("---", MonthAbbrev(-1));
}

class NamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRecords();
        UseTimeZone(ZONE_CENTRAL_EUROPE);
        strcpy(settings.FileName, "D:\\Rec\\");
        strcpy(settings.RecFileNameSuffix, ".mpg");
        strcpy(settings.DetFileNameSuffix, ".txt");
        EventRecord& snapshot = captureState.snapshot;
        snapshot.start = LocalTimeValue(2005, 4, 8, 20, 15, 7);
        strcpy(snapshot.channelName, "Alpha TV");
        strcpy(snapshot.eventName, "Evening News");
    }

    std::string Name(const char* suffix)
    {
        char name[FOLDER_SIZE];
        memset(name, 'P', sizeof name);
        BuildFileName(suffix, name);
        return name;
    }

    std::string Stamp(TimeValue time)
    {
        char stamp[STAMP_SIZE];
        memset(stamp, 'P', sizeof stamp);
        FormatStamp(time, stamp);
        return stamp;
    }
};

TEST_F(NamesTest, WorkedExampleInBothSchemes)
{
    CleanSnapshotTexts();
    EXPECT_EQ("050408_201507 Alpha TV Evening News.txt", Name(".txt"));
    EXPECT_EQ("050408_201507 Alpha TV Evening News.mpg", Name(".mpg"));
    EXPECT_EQ("050408 201507", Stamp(captureState.snapshot.start));
    settings.AltFileNaming = 1;
    EXPECT_EQ("Evening News_05Apr08-2015_Alpha TV.txt", Name(".txt"));
    EXPECT_EQ("Evening News_05Apr08-2015_Alpha TV.mpg", Name(".mpg"));
    EXPECT_EQ("05Apr08-201507", Stamp(captureState.snapshot.start));
}

TEST_F(NamesTest, ForbiddenCharacterAtTheEndIsBlankedThenTrimmed)
{
    strcpy(captureState.snapshot.eventName, "News?");
    CleanSnapshotTexts();
    EXPECT_STREQ("News", captureState.snapshot.eventName);
    EXPECT_EQ("050408_201507 Alpha TV News.txt", Name(".txt"));
}

TEST_F(NamesTest, TabInsideAChannelNameBecomesASpace)
{
    strcpy(captureState.snapshot.channelName, "Alpha\tTV");
    CleanSnapshotTexts();
    EXPECT_STREQ("Alpha TV", captureState.snapshot.channelName);
    EXPECT_EQ("050408_201507 Alpha TV Evening News.txt", Name(".txt"));
}

TEST_F(NamesTest, LeadingBlanksStayInTheSnapshotButNotInNames)
{
    strcpy(captureState.snapshot.channelName, "  Alpha TV");
    strcpy(captureState.snapshot.eventName, " \tEvening News ");
    CleanSnapshotTexts();
    EXPECT_STREQ("  Alpha TV", captureState.snapshot.channelName);
    EXPECT_STREQ("  Evening News", captureState.snapshot.eventName); // the tab was blanked
    EXPECT_EQ("050408_201507 Alpha TV Evening News.txt", Name(".txt"));
    settings.AltFileNaming = 1;
    EXPECT_EQ("Evening News_05Apr08-2015_Alpha TV.txt", Name(".txt"));
}

TEST_F(NamesTest, EventNameOfBlanksOnlyLeavesTheSpaceBeforeTheSuffix)
{
    strcpy(captureState.snapshot.eventName, " \t \r\n");
    CleanSnapshotTexts();
    EXPECT_STREQ("", captureState.snapshot.eventName);
    EXPECT_EQ("050408_201507 Alpha TV .txt", Name(".txt"));
}

TEST_F(NamesTest, ShortAndLongTextsKeepTheirCharactersButLoseTrailingBlanks)
{
    strcpy(captureState.snapshot.shortText, "Who? What:\tWhere\r\n");
    strcpy(captureState.snapshot.longText, "Line one\r\nLine two \t");
    CleanSnapshotTexts();
    EXPECT_STREQ("Who? What:\tWhere", captureState.snapshot.shortText);
    EXPECT_STREQ("Line one\r\nLine two", captureState.snapshot.longText);
}

TEST_F(NamesTest, TextsWithoutTerminatorAreCutAtTheirLastByte)
{
    EventRecord& snapshot = captureState.snapshot;
    memset(snapshot.channelName, 'c', sizeof snapshot.channelName);
    memset(snapshot.eventName, 'e', sizeof snapshot.eventName);
    memset(snapshot.shortText, 's', sizeof snapshot.shortText);
    memset(snapshot.longText, 'l', sizeof snapshot.longText);
    CleanSnapshotTexts();
    EXPECT_EQ(63u, strlen(snapshot.channelName));
    EXPECT_EQ(255u, strlen(snapshot.eventName));
    EXPECT_EQ(255u, strlen(snapshot.shortText));
    EXPECT_EQ(511u, strlen(snapshot.longText));
    // The longest name: 255 + 63 + 62 of suffix + 15 fixed characters fit the 512-byte buffer.
    std::string suffix(62, 'x');
    EXPECT_EQ(395u, Name(suffix.c_str()).size());
}

TEST_F(NamesTest, PlaceholderGoesIntoNamesUnchanged)
{
    strcpy(captureState.snapshot.eventName, "(NO EPG DATA)");
    CleanSnapshotTexts();
    EXPECT_EQ("050408_201507 Alpha TV (NO EPG DATA).txt", Name(".txt"));
}

TEST_F(NamesTest, SuffixGoesInUncleaned)
{
    EXPECT_EQ("050408_201507 Alpha TV Evening News.a?b ", Name(".a?b "));
}

TEST_F(NamesTest, YearsBefore2000AndAfter2099)
{
    UseTimeZone(ZONE_UTC);
    TimeValue in1999 = LocalTimeValue(1999, 12, 31, 23, 59, 58);
    TimeValue in2100 = LocalTimeValue(2100, 1, 2, 3, 4, 5);
    EXPECT_EQ("-11231 235958", Stamp(in1999));
    EXPECT_EQ("1000102 030405", Stamp(in2100));
    settings.AltFileNaming = 1;
    EXPECT_EQ("-1Dec31-235958", Stamp(in1999));
    EXPECT_EQ("100Jan02-030405", Stamp(in2100));
    captureState.snapshot.start = in2100;
    EXPECT_EQ("Evening News_100Jan02-0304_Alpha TV.txt", Name(".txt"));
}

TEST_F(NamesTest, DaylightSavingIsTheZonesOwn)
{
    // 2005-03-27 01:30 UTC is 03:30 summer time in Central Europe; an hour earlier, 01:30 winter time.
    UseTimeZone(ZONE_UTC);
    TimeValue afterSwitch = LocalTimeValue(2005, 3, 27, 1, 30, 0);
    UseTimeZone(ZONE_CENTRAL_EUROPE);
    EXPECT_EQ("050327 033000", Stamp(afterSwitch));
    EXPECT_EQ("050327 013000", Stamp(afterSwitch - 3600));
}

TEST_F(NamesTest, TimeWithoutLocalTimeIsShownInUtc)
{
    // West of Greenwich the first hours of 1970 in UTC are still 1969 locally, which Windows cannot
    // convert; the stamp then shows the UTC time rather than nothing or garbage.
    UseTimeZone(ZONE_US_EASTERN);
    EXPECT_EQ("-300101 000000", Stamp(0));
    EXPECT_EQ("-300101 045959", Stamp(5 * 3600 - 1));
    EXPECT_EQ("-300101 000000", Stamp(5 * 3600)); // 1970-01-01 00:00 local
    captureState.snapshot.start = 60;
    EXPECT_EQ("-300101_000100 Alpha TV Evening News.txt", Name(".txt"));
}

TEST_F(NamesTest, DetailDirectoryPrefersAltDetPath)
{
    char folder[FOLDER_SIZE];
    DetailDirectory(folder);
    EXPECT_STREQ("D:\\Rec\\", folder);
    strcpy(settings.AltDetPath, "E:\\Details\\");
    DetailDirectory(folder);
    EXPECT_STREQ("E:\\Details\\", folder);
}

TEST_F(NamesTest, FolderWithoutFinalBackslashGluesTheName)
{
    char path[FOLDER_SIZE];
    ASSERT_TRUE(BuildDetailPath("D:\\Rec", "050408_201507 Alpha TV Evening News.txt", path));
    EXPECT_STREQ("D:\\Rec050408_201507 Alpha TV Evening News.txt", path);
}

TEST_F(NamesTest, PathThatTheFileFunctionsRefuseIsNotCut)
{
    // MAX_PATH - 1 characters is the longest path the ANSI file functions take.
    std::string folder = "D:\\" + std::string(200, 'f') + "\\";
    std::string fits(MAX_PATH - 1 - folder.size(), 'n');
    std::string tooLong = fits + "n";
    char path[FOLDER_SIZE];
    memset(path, 'P', sizeof path);
    ASSERT_TRUE(BuildDetailPath(folder.c_str(), fits.c_str(), path));
    EXPECT_EQ(folder + fits, path);
    memset(path, 'P', sizeof path);
    EXPECT_FALSE(BuildDetailPath(folder.c_str(), tooLong.c_str(), path));
    EXPECT_STREQ("", path);
    std::string hugeFolder(511, 'f');
    EXPECT_FALSE(BuildDetailPath(hugeFolder.c_str(), std::string(396, 'n').c_str(), path));
    EXPECT_STREQ("", path);
}

} // namespace
