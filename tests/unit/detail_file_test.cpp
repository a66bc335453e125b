// The detail text, laid out column by column, and the writing of the detail file.
#include "capture/detail_file.h"
#include "capture/names.h"
#include "platform/posix/platform_control.h"
#include "tests/support/test_files.h"
#include "tests/support/time_zone.h"

#include <gtest/gtest.h>
#include <string.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t begin = 0, end;
    while ((end = text.find("\r\n", begin)) != std::string::npos) {
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 2;
    }
    EXPECT_EQ(begin, text.size()) << "text does not end with CR LF";
    return lines;
}

std::string LineStartingWith(const std::string& text, const std::string& key)
{
    for (const std::string& line : SplitLines(text))
        if (line.compare(0, key.size(), key) == 0)
            return line;
    return "";
}

class DetailFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRecords();
        UseTimeZone(ZONE_CENTRAL_EUROPE);
        strcpy(settings.FileName, "D:\\Rec\\");
        settings.Delay = 180;
        strcpy(settings.RecFileNameSuffix, ".mpg");
        strcpy(settings.DetFileNameSuffix, ".txt");
        strcpy(settings.DVBDevice_Name, "Twin tuner card");
        strcpy(settings.Comment, "Living room");
        strcpy(captureState.coreVersionText, "1.9.4");
        EventRecord& snapshot = captureState.snapshot;
        snapshot.nidsid = 0x00010002;
        snapshot.eid = 4660;
        snapshot.language = 0x656E67;
        snapshot.start = LocalTimeValue(2005, 4, 8, 20, 15, 7);
        snapshot.end = snapshot.start + 1800;
        strcpy(snapshot.channelName, "Alpha TV");
        strcpy(snapshot.eventName, "Evening News");
        strcpy(snapshot.shortText, "Headlines of the day");
        strcpy(snapshot.longText, "The day's news.\r\nWeather at the end.");
        captureState.changeTime = snapshot.start - 600;
        now = snapshot.start + 180;
    }

    // The text of one detail step for the snapshot as it stands, as the detail step builds it.
    std::string Compose(uint32_t nextDelay)
    {
        CleanSnapshotTexts();
        DetailDirectory(detailDir);
        BuildFileName(settings.DetFileNameSuffix, detailName);
        BuildFileName(settings.RecFileNameSuffix, recordingName);
        static char text[DETAIL_TEXT_SIZE];
        memset(text, 'P', sizeof text);
        int length = ComposeDetailText(now, nextDelay, detailName, recordingName, detailDir, text);
        EXPECT_EQ((int)strlen(text), length);
        return std::string(text, length);
    }

    TimeValue now;
    char detailDir[FOLDER_SIZE];
    char detailName[FOLDER_SIZE];
    char recordingName[FOLDER_SIZE];
};

TEST_F(DetailFileTest, WorkedExampleDefaultScheme)
{
    std::string text = Compose(1800 - 180 + 180);
    EXPECT_EQ("", CompareWithGolden(text, "detail_worked_default.txt"));
}

TEST_F(DetailFileTest, WorkedExampleAlternativeScheme)
{
    settings.AltFileNaming = 1;
    std::string text = Compose(1800);
    EXPECT_EQ("", CompareWithGolden(text, "detail_worked_alternative.txt"));
}

TEST_F(DetailFileTest, PlaceholderWithEmptyTexts)
{
    EventRecord& snapshot = captureState.snapshot;
    strcpy(snapshot.eventName, "(NO EPG DATA)");
    snapshot.shortText[0] = snapshot.longText[0] = '\0';
    snapshot.eid = snapshot.language = 0;
    snapshot.end = 0; // EventEnd shows the start
    std::string text = Compose(180);
    EXPECT_EQ("", CompareWithGolden(text, "detail_placeholder.txt"));
    std::vector<std::string> lines = SplitLines(text);
    ASSERT_EQ(31u, lines.size());
    EXPECT_EQ("(NO EPG DATA)", lines[0]);
    EXPECT_EQ("", lines[1]);
    EXPECT_EQ("", lines[2]);
    EXPECT_EQ("", lines[3]);
    EXPECT_EQ("EventName         = (NO EPG DATA)" + std::string(50, ' ') + " ; Event Name from epg.mdb~eit~EventName",
              lines[5]);
    EXPECT_EQ(LineStartingWith(text, "EventStart").substr(20, 13), LineStartingWith(text, "EventEnd").substr(20, 13));
    EXPECT_EQ("0x00000000", LineStartingWith(text, "EID").substr(20, 10));
    EXPECT_EQ("0x00000000", LineStartingWith(text, "Language").substr(20, 10));
}

TEST_F(DetailFileTest, LeadingBlanksShowInTheEventNameLineOnly)
{
    strcpy(captureState.snapshot.eventName, "   Evening News");
    std::string text = Compose(1800);
    EXPECT_EQ("", CompareWithGolden(text, "detail_leading_blanks.txt"));
    EXPECT_EQ("Evening News", SplitLines(text)[0]);
    EXPECT_EQ("EventName         =    Evening News" + std::string(48, ' ') + " ; Event Name from epg.mdb~eit~EventName",
              LineStartingWith(text, "EventName"));
}

TEST_F(DetailFileTest, PaddedValuesOf63And70Characters)
{
    strcpy(settings.Comment, std::string(63, 'c').c_str());
    strcpy(settings.FileName, ("D:\\" + std::string(66, 'r') + "\\").c_str()); // 70 characters
    std::string text = Compose(1800);
    EXPECT_EQ("", CompareWithGolden(text, "detail_padded_63_70.txt"));
    std::string comment = LineStartingWith(text, "Comment");
    EXPECT_EQ(84u, comment.find(';'));
    EXPECT_EQ(std::string(63, 'c') + " ; ", comment.substr(20, 66));
    std::string location = LineStartingWith(text, "RecordingFileLoc");
    EXPECT_EQ(91u, location.find(" ; ") + 1);
}

TEST_F(DetailFileTest, TemplateValueCoversTheCommentColumnForColumn)
{
    strcpy(settings.DVBDevice_Name, std::string(70, 'd').c_str());
    std::string text = Compose(1800);
    EXPECT_EQ("", CompareWithGolden(text, "detail_device_70.txt"));
    std::string line = LineStartingWith(text, "DVBDevice_Name");
    EXPECT_EQ(156u, line.size());
    EXPECT_EQ(std::string(70, 'd'), line.substr(20, 70));
    EXPECT_EQ(" Specified DVB Hardware", line.substr(90, 23)); // "; " and "User" are covered
}

TEST_F(DetailFileTest, TemplateValueLongerThanItsTemplateRunsOnWhole)
{
    std::string device(200, 'd');
    strcpy(settings.DVBDevice_Name, device.c_str());
    std::string line = LineStartingWith(Compose(1800), "DVBDevice_Name");
    EXPECT_EQ("DVBDevice_Name    = " + device, line);
    std::string exactFit(136, 'e'); // ends exactly where the template ends
    strcpy(settings.DVBDevice_Name, exactFit.c_str());
    EXPECT_EQ("DVBDevice_Name    = " + exactFit, LineStartingWith(Compose(1800), "DVBDevice_Name"));
    std::string oneShort(135, 'e');
    strcpy(settings.DVBDevice_Name, oneShort.c_str());
    EXPECT_EQ("DVBDevice_Name    = " + oneShort + ")", LineStartingWith(Compose(1800), "DVBDevice_Name"));
}

TEST_F(DetailFileTest, WorkedColumns)
{
    std::string text = Compose(1800);
    std::string delay = LineStartingWith(text, "Delay");
    EXPECT_EQ(158u, delay.size());
    EXPECT_EQ("Delay" + std::string(13, ' ') + "= 180" + std::string(61, ' ') + "; ", delay.substr(0, 86));
    EXPECT_EQ("0x00001234", LineStartingWith(text, "EID ").substr(20, 10));
    EXPECT_EQ("0x00010002", LineStartingWith(text, "NIDSID").substr(20, 10));
    EXPECT_EQ("0x00656E67", LineStartingWith(text, "Language").substr(20, 10));
    for (const char* key : {"ChannelName", "EID", "NIDSID", "EventStart", "EventEnd", "Language", "NextEventDetail",
                            "RecordingStart", "Delay", "AltFileNaming", "DVBCore_Version", "QTR_Version",
                            "Homepage", "EventName", "DetailFileName", "Comment"}) {
        SCOPED_TRACE(key);
        std::string line = LineStartingWith(text, key);
        EXPECT_EQ(84u, line.find(';'));
        EXPECT_EQ(' ', line[85]);
    }
    EXPECT_EQ("ChannelName       =                                                                 ; Channel Name",
              LineStartingWith(text, "ChannelName").replace(20, 8, 8, ' '));
}

TEST_F(DetailFileTest, NumbersAreUnsignedDecimal)
{
    settings.Delay = 65535;
    settings.AltFileNaming = 1;
    std::string text = Compose(1800);
    EXPECT_EQ("65535 ", LineStartingWith(text, "Delay").substr(20, 6));
    EXPECT_EQ("1 ", LineStartingWith(text, "AltFileNaming").substr(20, 2));
}

TEST_F(DetailFileTest, NextEventDetailIsNowPlusTheNextDelay)
{
    std::string text = Compose(3680);
    char stamp[STAMP_SIZE];
    FormatStamp(now + 3680, stamp);
    EXPECT_EQ(stamp, LineStartingWith(text, "NextEventDetail").substr(20, strlen(stamp)));
}

class WriteDetailFileTest : public DetailFileTest {
protected:
    void TearDown() override { ClearFaults(); }
};

TEST_F(WriteDetailFileTest, ReplacesTheWholeContentOfAnExistingFile)
{
    std::string folder = MakeScratchFolder("write");
    std::string path = folder + "detail.txt";
    WriteWholeFile(path, std::string(20000, 'o'));
    std::string text = Compose(1800);
    EXPECT_TRUE(WriteDetailFile(ToWindowsPath(path).c_str(), text.c_str(), (int)text.size()));
    EXPECT_EQ(text, ReadWholeFile(path));
    EXPECT_EQ(ToWindowsPath(path), captureState.lastDetailPath);
    EXPECT_EQ(captureState.snapshot.start, captureState.lastDetailStart);
}

TEST_F(WriteDetailFileTest, FileThatCannotBeCreatedStillBecomesTheLastDetail)
{
    std::string path = MakeScratchFolder("missing") + "no such folder\\detail.txt";
    std::string text = Compose(1800);
    EXPECT_FALSE(WriteDetailFile(ToWindowsPath(path).c_str(), text.c_str(), (int)text.size()));
    EXPECT_EQ(ToWindowsPath(path), captureState.lastDetailPath);
    EXPECT_EQ(captureState.snapshot.start, captureState.lastDetailStart);
}

TEST_F(WriteDetailFileTest, RefusedPathLeavesNoLastDetailPath)
{
    strcpy(captureState.lastDetailPath, "D:\\Rec\\older.txt");
    std::string text = Compose(1800);
    EXPECT_FALSE(WriteDetailFile("", text.c_str(), (int)text.size()));
    EXPECT_STREQ("", captureState.lastDetailPath);
    EXPECT_EQ(captureState.snapshot.start, captureState.lastDetailStart);
}

TEST_F(WriteDetailFileTest, ShortWriteIsNoSuccess)
{
    std::string path = MakeScratchFolder("short") + "detail.txt";
    std::string text = Compose(1800);
    SetFault(FAULT_SHORT_WRITE, 1);
    EXPECT_FALSE(WriteDetailFile(ToWindowsPath(path).c_str(), text.c_str(), (int)text.size()));
    EXPECT_EQ(text.substr(0, text.size() / 2), ReadWholeFile(path));
    EXPECT_EQ(ToWindowsPath(path), captureState.lastDetailPath);
}

TEST_F(WriteDetailFileTest, FailedCreationIsNoSuccess)
{
    std::string path = MakeScratchFolder("create") + "detail.txt";
    std::string text = Compose(1800);
    SetFault(FAULT_CREATE_FILE, 1);
    EXPECT_FALSE(WriteDetailFile(ToWindowsPath(path).c_str(), text.c_str(), (int)text.size()));
    EXPECT_FALSE(FileExists(path));
}

} // namespace
