// Times and durations as scenarios write them, read in the scenario's zone.
#include "standin/simulator/scenario_time.h"
#include "tests/support/time_zone.h"

#include <gtest/gtest.h>

namespace {

class SimulatorTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string problem;
        ASSERT_TRUE(UseScenarioZone("CET-1CEST,M3.5.0,M10.5.0/3", &problem)) << problem;
    }
    void TearDown() override { UseTimeZone(ZONE_UTC); }
};

struct TimeCase {
    int row;
    const char* date;
    const char* time;
    uint32_t value;     // 0: refused
};

const TimeCase TIMES[] = {
    {1, "2025-03-29", "18:00", 1743267600},            // winter time, UTC+1
    {2, "2025-03-29", "18:00:00Z", 1743271200},
    {3, "2025-03-29", "18:00+01:00", 1743267600},
    {4, "2025-03-29", "13:00-0400", 1743267600},
    {5, "2025-03-30", "01:59:59", 1743296399},         // the last second of winter time
    {6, "2025-03-30", "03:00", 1743296400},            // one second later, summer time
    {7, "2025-03-30", "02:00", 0},                     // skipped by the clocks
    {8, "2025-10-26", "02:30", 0},                     // passed twice
    {9, "2025-10-26", "02:30+02:00", 1761438600},      // the first time, in summer time
    {10, "2025-10-26", "02:30+01:00", 1761442200},     // the second time, in winter time
    {11, "2024-02-29", "00:00Z", 1709164800},          // a leap day
    {12, "2025-02-29", "00:00Z", 0},
    {13, "2025-03-29", "24:00", 0},
    {14, "2025-03-29", "18:60", 0},
    {15, "2025-3-29", "18:00", 0},
    {16, "2025-03-29", "18:00:5", 0},
    {17, "2025-03-29", "18:00 ", 0},
    {18, "1970-01-01", "00:00Z", 0},                   // 0 is a time value; allowed (checked below)
    {19, "2106-02-07", "06:28:15Z", 4294967295u},
    {20, "2106-02-07", "06:28:16Z", 0},
};

TEST_F(SimulatorTimeTest, ReadsLocalTimesAndOffsets)
{
    for (const TimeCase& row : TIMES) {
        uint32_t value = 12345;
        std::string problem;
        bool read = ParseScenarioTime(row.date, row.time, &value, &problem);
        if (row.row == 18) {
            EXPECT_TRUE(read) << problem;
            EXPECT_EQ(value, 0u);
            continue;
        }
        EXPECT_EQ(read, row.value != 0) << "row " << row.row << ": " << problem;
        if (row.value != 0) {
            EXPECT_EQ(value, row.value) << "row " << row.row;
        } else {
            EXPECT_FALSE(problem.empty()) << "row " << row.row;
        }
    }
}

struct DurationCase {
    int row;
    const char* text;
    int64_t seconds;    // -1: refused
};

const DurationCase DURATIONS[] = {
    {1, "90s", 90},     {2, "30m", 1800},         {3, "2h", 7200},     {4, "1h30m", 5400},
    {5, "1h0m15s", 3615}, {6, "0s", 0},           {7, "", -1},         {8, "30", -1},
    {9, "m", -1},       {10, "30m1h", -1},        {11, "1h1h", -1},    {12, "1.5h", -1},
    {13, "-5m", -1},    {14, "1193046h28m15s", 4294967295LL},          {15, "1193046h28m16s", -1},
    {16, "99999999999999999999h", -1},
};

TEST_F(SimulatorTimeTest, ReadsDurations)
{
    for (const DurationCase& row : DURATIONS) {
        uint32_t seconds = 777;
        std::string problem;
        bool read = ParseDuration(row.text, &seconds, &problem);
        EXPECT_EQ(read, row.seconds >= 0) << "row " << row.row;
        if (row.seconds >= 0) {
            EXPECT_EQ(seconds, (uint32_t)row.seconds) << "row " << row.row;
        } else {
            EXPECT_EQ(problem, std::string("bad duration \"") + row.text +
                                   "\": expected hours, minutes and seconds such as 1h30m, 45m or 90s")
                << "row " << row.row;
        }
    }
}

TEST_F(SimulatorTimeTest, ShowsTimesWithTheZoneInForce)
{
    EXPECT_EQ(FormatScenarioTime(1743296399), "2025-03-30 01:59:59 CET");
    EXPECT_EQ(FormatScenarioTime(1743296400), "2025-03-30 03:00:00 CEST");
}

TEST_F(SimulatorTimeTest, AcceptsZoneRulesAndZoneNamesOnly)
{
    const char* const accepted[] = {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT", "<+0330>-3:30",
                                    "EST5EDT,M3.2.0,M11.1.0"};
    const char* const refused[] = {"", "Berlin", "CET-1CEST,M3.5.0", "../../etc/passwd", "CET-1CEST,M3.5.0,M10.5.0/3;x"};
    std::string problem;
    for (const char* zone : accepted)
        EXPECT_TRUE(UseScenarioZone(zone, &problem)) << zone;
    for (const char* zone : refused)
        EXPECT_FALSE(UseScenarioZone(zone, &problem)) << zone;
}

} // namespace
