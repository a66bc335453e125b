// The EPG from an XMLTV guide: programmes mapped to the scenario's channels, texts converted to the
// host's single-byte code page, and broken guides refused with the guide's file and line.
#include "standin/simulator/scenario_reader.h"
#include "standin/simulator/xmltv_reader.h"
#include "tests/support/test_files.h"
#include "tests/support/time_zone.h"

#include <gtest/gtest.h>

namespace {

const char* const SCENARIO =
    "[scenario]\n"
    "zone UTC0\n"
    "begin 2025-03-29 17:00\n"
    "end 2025-03-30 05:00\n"
    "guide guide.xml\n"
    "[channel Alpha TV]\n"
    "service 0x0101\n"
    "xmltv alpha.example\n"
    "event 2025-03-29 16:00 30m Own event\n"
    "[channel Beta One]\n"
    "service 0x0102\n";

const char* const GUIDE =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n"
    "<tv generator-info-name=\"test\">\n"
    "  <channel id=\"alpha.example\"><display-name>Alpha</display-name></channel>\n"
    "  <programme start=\"20250329190000 +0100\" stop=\"20250329193000 +0100\" channel=\"alpha.example\">\n"
    "    <title lang=\"de\">Nachrichten \xE2\x82\xAC &amp; M\xC3\xA4rkte</title>\n"
    "    <title lang=\"en\">News</title>\n"
    "    <sub-title>Heute \xF0\x9F\x93\xBA</sub-title>\n"
    "    <desc lang=\"de\">\n      Die Meldungen\n      des Tages.\n    </desc>\n"
    "  </programme>\n"
    "  <programme start=\"20250329183000 +0100\" channel=\"alpha.example\">\n"
    "    <title>Wetter</title>\n"
    "  </programme>\n"
    "  <programme start=\"20250329180000\" stop=\"20250329190000\" channel=\"other.example\">\n"
    "    <title>Elsewhere</title>\n"
    "  </programme>\n"
    "</tv>\n";

class SimulatorXmltvTest : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeScratchFolder("xmltv"); }
    void TearDown() override { UseTimeZone(ZONE_UTC); }

    bool Read(const std::string& scenarioText, const std::string& guideText, Scenario* scenario, std::string* message)
    {
        WriteWholeFile(folder + "test.scenario", scenarioText);
        WriteWholeFile(folder + "guide.xml", guideText);
        return ReadScenario(folder + "test.scenario", scenario, message);
    }

    std::string folder;
};

TEST_F(SimulatorXmltvTest, AddsTheGuidesProgrammesToTheirChannels)
{
    Scenario scenario;
    std::string message;
    ASSERT_TRUE(Read(SCENARIO, GUIDE, &scenario, &message)) << message;
    ASSERT_EQ(scenario.files.size(), 2u);
    EXPECT_EQ(scenario.files[1], folder + "guide.xml");

    const ScenarioChannel& alpha = scenario.channels[0];
    ASSERT_EQ(alpha.events.size(), 3u);
    EXPECT_EQ(alpha.events[0].name, "Own event");
    // "Wetter" has no stop: it ends where the news begins.
    EXPECT_EQ(alpha.events[1].name, "Wetter");
    EXPECT_EQ(alpha.events[1].start, 1743269400u);  // 17:30 UTC
    EXPECT_EQ(alpha.events[1].duration, 1800u);
    EXPECT_EQ(alpha.events[1].eid, 2u);
    EXPECT_EQ(alpha.events[1].language, 0u);
    EXPECT_EQ(alpha.events[1].source.file, 1);
    EXPECT_EQ(alpha.events[1].source.line, 14);
    const ScenarioEvent& news = alpha.events[2];
    EXPECT_EQ(news.start, 1743271200u);             // 18:00 UTC
    EXPECT_EQ(news.duration, 1800u);
    // The first title counts; the euro sign and the umlaut have places in Windows-1252, the
    // television set has none.
    EXPECT_EQ(news.name, "Nachrichten \x80 & M\xE4rkte");
    EXPECT_EQ(news.language, 0x6465u);              // "de", as the guide gives it
    EXPECT_EQ(news.shortText, "Heute ?");
    EXPECT_EQ(news.longText, "Die Meldungen des Tages.");
    EXPECT_TRUE(scenario.channels[1].events.empty());
}

struct BrokenGuideCase {
    int row;
    const char* guide;
    const char* message;  // after the guide's path
};

const BrokenGuideCase BROKEN_GUIDES[] = {
    {1, "<tv>\n<programme start=\"20250329180000\" channel=\"alpha.example\">\n<title>A</title>\n</tv>\n",
     ":4: broken XMLTV guide: mismatched tag"},
    {2, "", ":1: broken XMLTV guide: no element found"},
    {3, "<?xml version=\"1.0\"?>\n<schedule/>\n", ":2: not an XMLTV guide: the root element is <schedule>, expected <tv>"},
    {4, "<tv>\n\n<programme channel=\"alpha.example\"><title>A</title></programme>\n</tv>\n",
     ":3: <programme> without its \"start\" attribute"},
    {5, "<tv>\n<programme start=\"20250329180000\"><title>A</title></programme>\n</tv>\n",
     ":2: <programme> without its \"channel\" attribute"},
    {6, "<tv>\n<programme start=\"2025-03-29 18:00\" channel=\"alpha.example\"/>\n</tv>\n",
     ":2: bad start time \"2025-03-29 18:00\": expected YYYYMMDDhhmmss with an optional offset such as +0100"},
    {7, "<tv>\n<programme start=\"20250329180000\" stop=\"20250329180000 +2500\" channel=\"alpha.example\"/>\n</tv>\n",
     ":2: bad stop time \"20250329180000 +2500\": expected YYYYMMDDhhmmss with an optional offset such as +0100"},
    {8, "<tv>\n<programme start=\"20250329180000\" stop=\"20250329170000\" channel=\"alpha.example\"/>\n</tv>\n",
     ":2: programme stops before it starts"},
    {9, "<tv>\n<programme start=\"20250329180000\" channel=\"alpha.example\"/>\n</tv>\n",
     ":2: programme has no \"stop\" and no later programme on \"alpha.example\" tells where it ends"},
    {10, "<tv>\n<programme start=\"20250329180000\" stop=\"20250329190000\" channel=\"beta.example\"/>\n</tv>\n",
     ""}, // the scenario's xmltv line is named: see below
    {11, "<tv>\n<programme start=\"20250329160000\" stop=\"20250329170000\" channel=\"alpha.example\"/>\n</tv>\n",
     ""}, // overlaps the scenario's own event: see below
    {12, "<tv>\n<programme start=\"20250329180000\" stop=\"20250329190000\" channel=\"alpha.example\">&bogus;</programme>\n</tv>\n",
     ":2: broken XMLTV guide: undefined entity"},
};

TEST_F(SimulatorXmltvTest, RefusesBrokenGuidesNamingTheGuidesLine)
{
    for (const BrokenGuideCase& row : BROKEN_GUIDES) {
        Scenario scenario;
        std::string message;
        EXPECT_FALSE(Read(SCENARIO, row.guide, &scenario, &message)) << "row " << row.row;
        std::string expected = folder + "guide.xml" + row.message;
        if (row.row == 10)
            expected = folder + "test.scenario:8: the guide " + folder + "guide.xml has no programme for \"alpha.example\"";
        if (row.row == 11)
            expected = folder + "guide.xml:2: event overlaps the event at " + folder +
                       "test.scenario:9 on channel \"Alpha TV\"";
        EXPECT_EQ(message, expected) << "row " << row.row;
    }
}

TEST_F(SimulatorXmltvTest, NamesAGuideThatCannotBeOpened)
{
    Scenario scenario;
    std::string message;
    WriteWholeFile(folder + "test.scenario", SCENARIO);
    EXPECT_FALSE(ReadScenario(folder + "test.scenario", &scenario, &message));
    EXPECT_EQ(message, folder + "guide.xml: cannot open the guide: No such file or directory");
}

struct GuideTimeCase {
    int row;
    const char* text;
    uint32_t value;     // 0: refused
};

const GuideTimeCase GUIDE_TIMES[] = {
    {1, "20250329180000 +0100", 1743267600}, {2, "20250329180000", 1743271200}, {3, "202503291800 +0100", 1743267600},
    {4, "20250329180000 Z", 1743271200},     {5, "20250329130000 -0400", 1743267600},
    {6, "20250329180000 +01", 0},            {7, "2025032918", 0},              {8, "20250229180000", 0},
    {9, "20250329180000 CET", 0},
};

TEST_F(SimulatorXmltvTest, ReadsGuideTimes)
{
    for (const GuideTimeCase& row : GUIDE_TIMES) {
        uint32_t value = 99;
        EXPECT_EQ(ParseXmltvTime(row.text, &value), row.value != 0) << "row " << row.row;
        if (row.value != 0) {
            EXPECT_EQ(value, row.value) << "row " << row.row;
        }
    }
}

} // namespace
