// The stand-in core's EPG during a simulator run, and how the simulator sees what a step changed.
#include "standin/simulator/detail_folder.h"
#include "standin/simulator/epg_answers.h"
#include "standin/simulator/scenario_reader.h"
#include "tests/support/test_files.h"
#include "tests/support/time_zone.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

// All times UTC: 18:00 is 1743271200.
const uint32_t AT_1800 = 1743271200;
const char* const SCENARIO =
    "[scenario]\n"
    "begin 2025-03-29 17:00\n"
    "end 2025-03-30 05:00\n"
    "network 0x0005\n"
    "outage 2025-03-29 21:00 10m\n"
    "[channel A]\n"
    "service 0x0101\n"
    "event 2025-03-29 18:00 30m News\n"
    "eid 0x77\n"
    "language deu\n"
    "short Headlines\n"
    "long The long text\n"
    "event 2025-03-29 18:30 30m Weather\n"
    "event 2025-03-29 19:30 1h After the gap\n"
    "outage 2025-03-29 19:45 5m\n"
    "[channel B]\n"
    "service 0x0102\n"
    "event 2025-03-29 20:00 2h Film\n";

const uint32_t KEY_A = 0x00050101;
const uint32_t KEY_B = 0x00050102;

struct AnswerCase {
    int row;
    uint32_t key;
    uint32_t now;
    DWORD result;
    const char* name;      // for result 0
    uint32_t start;
};

const AnswerCase ANSWERS[] = {
    {1, KEY_A, AT_1800, 0, "News", AT_1800},                  // the start belongs to the event
    {2, KEY_A, AT_1800 + 1799, 0, "News", AT_1800},
    {3, KEY_A, AT_1800 + 1800, 0, "Weather", AT_1800 + 1800}, // the end belongs to the next
    {4, KEY_A, AT_1800 - 1, EPG_NO_EVENT, nullptr, 0},        // before the first event
    {5, KEY_A, AT_1800 + 3600, EPG_NO_EVENT, nullptr, 0},     // the gap
    {6, KEY_A, AT_1800 + 5400, 0, "After the gap", AT_1800 + 5400},
    {7, KEY_A, AT_1800 + 6300, EPG_OUTAGE, nullptr, 0},       // the channel's outage
    {8, KEY_A, AT_1800 + 6600, 0, "After the gap", AT_1800 + 5400},
    {9, KEY_B, AT_1800 + 10800, EPG_OUTAGE, nullptr, 0},      // the whole EPG's outage
    {10, KEY_B, AT_1800 + 11400, 0, "Film", AT_1800 + 7200},
    {11, KEY_A, AT_1800 + 10800, EPG_OUTAGE, nullptr, 0},     // an outage with nothing on the air
    {12, 0x00060101, AT_1800, EPG_NO_EVENT, nullptr, 0},      // another network: no such service
};

class SimulatorEpgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string message;
        ASSERT_TRUE(ReadScenarioText("epg.scenario", SCENARIO, &scenario, &message)) << message;
    }
    void TearDown() override { UseTimeZone(ZONE_UTC); }

    Scenario scenario;
};

TEST_F(SimulatorEpgTest, AnswersTheEventOnTheAirOrAnError)
{
    for (const AnswerCase& row : ANSWERS) {
        StandinEvent event;
        memset(&event, 0xA5, sizeof event);
        AnswerEpgQuery(scenario, row.key, row.now, 0, &event);
        EXPECT_EQ(event.result, row.result) << "row " << row.row;
        if (row.result != 0) {
            EXPECT_EQ(event.start, 0u) << "row " << row.row;
            continue;
        }
        EXPECT_STREQ((const char*)event.eventName, row.name) << "row " << row.row;
        EXPECT_EQ(event.start, row.start) << "row " << row.row;
        EXPECT_EQ(event.hasText, 1u) << "row " << row.row;
    }
}

TEST_F(SimulatorEpgTest, AnswersEveryFieldOfTheEvent)
{
    StandinEvent event;
    memset(&event, 0xA5, sizeof event);
    AnswerEpgQuery(scenario, KEY_A, AT_1800 + 60, 0, &event);
    EXPECT_EQ(event.result, 0u);
    EXPECT_EQ(event.start, AT_1800);
    EXPECT_EQ(event.duration, 1800u);
    EXPECT_EQ(event.eid, 0x77u);
    EXPECT_EQ(event.language, 0x646575u);
    EXPECT_STREQ((const char*)event.shortText, "Headlines");
    EXPECT_STREQ((const char*)event.longText, "The long text");
    // The rest of each field is zero, not what the record held before.
    EXPECT_EQ(event.eventName[sizeof event.eventName - 1], 0);
    EXPECT_EQ(event.longText[sizeof event.longText - 1], 0);
}

TEST_F(SimulatorEpgTest, MovesTheAnswersStartOnTheRealClock)
{
    StandinEvent event;
    const int64_t shift = 1000000;
    AnswerEpgQuery(scenario, KEY_A, AT_1800 + 60, shift, &event);
    EXPECT_EQ(event.result, 0u);
    EXPECT_EQ(event.start, AT_1800 + shift);
    EXPECT_EQ(event.duration, 1800u);
}

// Texts longer than the core's record are cut, keeping the terminator: the name at 259 bytes.
TEST_F(SimulatorEpgTest, CutsTextsToTheRecordsFields)
{
    std::string name(300, 'n'), longText(600, 'l');
    std::string text = std::string("[scenario]\nbegin 2025-03-29 17:00\nend 2025-03-29 19:00\n[channel A]\nservice 1\n"
                                   "event 2025-03-29 18:00 1h ") + name + "\nlong " + longText + "\n";
    Scenario longTexts;
    std::string message;
    ASSERT_TRUE(ReadScenarioText("long.scenario", text, &longTexts, &message)) << message;
    StandinEvent event;
    memset(&event, 0xA5, sizeof event);
    AnswerEpgQuery(longTexts, 0x00010001, AT_1800, 0, &event);
    ASSERT_EQ(event.result, 0u);
    EXPECT_EQ(strlen((const char*)event.eventName), sizeof event.eventName - 1);
    EXPECT_EQ(strlen((const char*)event.longText), sizeof event.longText - 1);
    EXPECT_EQ(std::string((const char*)event.eventName), name.substr(0, sizeof event.eventName - 1));
}

TEST(SimulatorFolderTest, SeesWhatAStepAddedRewroteAndRemoved)
{
    std::string folder = MakeScratchFolder("folder");
    WriteWholeFile(folder + "kept.txt", "same");
    WriteWholeFile(folder + "placeholder.txt", "old");
    WriteWholeFile(folder + "rewritten.txt", "before");
    FolderContents before, after;
    ReadFolderContents(folder, &before);
    ASSERT_EQ(before.size(), 3u);
    EXPECT_EQ(before["rewritten.txt"], "before");

    remove((folder + "placeholder.txt").c_str());
    WriteWholeFile(folder + "event.txt", "new");
    WriteWholeFile(folder + "rewritten.txt", "after!");
    ReadFolderContents(folder, &after);
    FolderChanges changes;
    CompareFolderContents(before, after, &changes);
    EXPECT_EQ(changes.removed, std::vector<std::string>{"placeholder.txt"});
    EXPECT_EQ(changes.added, std::vector<std::string>{"event.txt"});
    EXPECT_EQ(changes.rewritten, std::vector<std::string>{"rewritten.txt"});

    FolderContents missing;
    ReadFolderContents(folder + "none/", &missing);
    EXPECT_TRUE(missing.empty());
}

} // namespace
