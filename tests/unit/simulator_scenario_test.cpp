// Reading scenarios: a whole valid file, and a numbered table of malformed ones, each refused with
// one message that names the file and the line.
#include "standin/simulator/scenario_reader.h"
#include "tests/support/time_zone.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

namespace {

const char* const CENTRAL_EUROPE = "CET-1CEST,M3.5.0,M10.5.0/3";

// Lines 1 to 6 of every malformed scenario; each case adds its own from line 7.
const char* const HEADER =
    "[scenario]\n"
    "zone CET-1CEST,M3.5.0,M10.5.0/3\n"
    "begin 2025-03-29 18:00\n"
    "end 2025-03-30 06:00\n"
    "[channel Alpha TV]\n"
    "service 0x0101\n";

const char* const VALID =
    "# a comment, then a blank line\n"
    "\n"
    "[scenario]\n"
    "zone     CET-1CEST,M3.5.0,M10.5.0/3\n"
    "begin    2025-03-29 18:00\n"
    "end      2025-03-30 06:00:00\n"
    "network  0x0007\n"
    "outage   2025-03-30 01:00 15m\n"
    "\n"
    "[settings]\n"
    "Delay           120\n"
    "DVBDevice_Name  Tuner  one \n"
    "RecFileNameSuffix\n"
    "\n"
    "[channel Alpha TV]\n"
    "service  0x0101\n"
    "event    2025-03-29 18:30 1h30m Film: \"Two\" <Parts>\n"
    "language deu\n"
    "short    Drama\n"
    "long     A long text\n"
    "event    2025-03-29 18:00 30m News\n"
    "eid      0xBEEF\n"
    "outage   2025-03-29 23:00 1h\n"
    "\n"
    "[channel Beta One]\n"
    "service  258\n"
    "event    2025-03-29 18:00:00Z 45m UTC event\n"
    "\n"
    "[actions]\n"
    "2025-03-29 18:00 tune Alpha TV\n"
    "2025-03-29 18:00 delay 300\n"
    "2025-03-29 19:00 disable\n"
    "2025-03-29 19:30:15 enable\n"
    "2025-03-30 06:00 tune Beta One\n";

class SimulatorScenarioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* zone = getenv("TZ");
        savedZone = zone != nullptr ? zone : "";
    }
    void TearDown() override { UseTimeZone(savedZone.empty() ? ZONE_UTC : savedZone.c_str()); }

    std::string savedZone;
};

TEST_F(SimulatorScenarioTest, ReadsAWholeScenario)
{
    Scenario scenario;
    std::string message = "untouched";
    ASSERT_TRUE(ReadScenarioText("valid.scenario", VALID, &scenario, &message)) << message;

    EXPECT_EQ(scenario.zone, CENTRAL_EUROPE);
    EXPECT_EQ(scenario.begin, 1743267600u);                  // 17:00 UTC
    EXPECT_EQ(scenario.end, 1743307200u);                    // 06:00 CEST is 04:00 UTC
    EXPECT_EQ(scenario.networkId, 7);
    ASSERT_EQ(scenario.outages.size(), 1u);
    EXPECT_EQ(scenario.outages[0].duration, 900u);
    EXPECT_EQ(scenario.outages[0].source.line, 8);

    ASSERT_EQ(scenario.settings.size(), 3u);
    EXPECT_EQ(scenario.settings[0].key, "Delay");
    EXPECT_EQ(scenario.settings[0].value, "120");
    EXPECT_EQ(scenario.settings[1].value, "Tuner  one");    // inner blanks kept, the ends trimmed
    EXPECT_EQ(scenario.settings[2].key, "RecFileNameSuffix");
    EXPECT_EQ(scenario.settings[2].value, "");

    ASSERT_EQ(scenario.channels.size(), 2u);
    const ScenarioChannel& alpha = scenario.channels[0];
    EXPECT_EQ(alpha.name, "Alpha TV");
    EXPECT_EQ(alpha.serviceId, 0x0101);
    ASSERT_EQ(alpha.events.size(), 2u);
    // Sorted by start; an eid not given is the event's place in its channel.
    EXPECT_EQ(alpha.events[0].name, "News");
    EXPECT_EQ(alpha.events[0].start, 1743267600u);
    EXPECT_EQ(alpha.events[0].duration, 1800u);
    EXPECT_EQ(alpha.events[0].eid, 0xBEEFu);
    EXPECT_EQ(alpha.events[0].language, 0u);
    EXPECT_EQ(alpha.events[0].source.line, 21);
    EXPECT_EQ(alpha.events[1].name, "Film: \"Two\" <Parts>");
    EXPECT_EQ(alpha.events[1].start, 1743269400u);
    EXPECT_EQ(alpha.events[1].duration, 5400u);
    EXPECT_EQ(alpha.events[1].eid, 2u);
    EXPECT_EQ(alpha.events[1].language, 0x646575u);          // "deu"
    EXPECT_EQ(alpha.events[1].shortText, "Drama");
    EXPECT_EQ(alpha.events[1].longText, "A long text");
    ASSERT_EQ(alpha.outages.size(), 1u);
    EXPECT_EQ(alpha.outages[0].duration, 3600u);

    const ScenarioChannel& beta = scenario.channels[1];
    EXPECT_EQ(beta.serviceId, 258);
    ASSERT_EQ(beta.events.size(), 1u);
    EXPECT_EQ(beta.events[0].start, 1743271200u);            // 18:00 UTC, the offset given
    EXPECT_EQ(beta.events[0].eid, 1u);

    ASSERT_EQ(scenario.actions.size(), 5u);
    EXPECT_EQ(scenario.actions[0].kind, ACTION_TUNE);
    EXPECT_EQ(scenario.actions[0].channel, 0);
    EXPECT_EQ(scenario.actions[1].kind, ACTION_DELAY);
    EXPECT_EQ(scenario.actions[1].delay, 300);
    EXPECT_EQ(scenario.actions[2].kind, ACTION_DISABLE);
    EXPECT_EQ(scenario.actions[3].kind, ACTION_ENABLE);
    EXPECT_EQ(scenario.actions[3].time, 1743273015u);
    EXPECT_EQ(scenario.actions[4].channel, 1);
    EXPECT_EQ(scenario.actions[4].time, scenario.end);       // the run's last moment is still in it
}

TEST_F(SimulatorScenarioTest, SummerTimeAfterTheChangeCountsTwoHours)
{
    Scenario scenario;
    std::string message;
    ASSERT_TRUE(ReadScenarioText("valid.scenario", VALID, &scenario, &message)) << message;
    // 18:00 CET to 06:00 CEST is eleven hours: the night is one hour short.
    EXPECT_EQ(scenario.end - scenario.begin, 11u * 3600u);
}

// Every way of ending a line reads the same scenario, with the same line numbers.
TEST_F(SimulatorScenarioTest, ReadsLineFeedCarriageReturnLineFeedAndBareCarriageReturn)
{
    std::string crlf, cr;
    for (char c : std::string(VALID)) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        cr += c == '\n' ? '\r' : c;
    }
    Scenario plain, dos, mac;
    std::string message;
    ASSERT_TRUE(ReadScenarioText("lf", VALID, &plain, &message)) << message;
    ASSERT_TRUE(ReadScenarioText("crlf", crlf, &dos, &message)) << message;
    ASSERT_TRUE(ReadScenarioText("cr", cr, &mac, &message)) << message;
    for (const Scenario* other : {&dos, &mac}) {
        EXPECT_EQ(other->begin, plain.begin);
        EXPECT_EQ(other->settings[1].value, plain.settings[1].value);
        ASSERT_EQ(other->channels[0].events.size(), 2u);
        EXPECT_EQ(other->channels[0].events[1].name, plain.channels[0].events[1].name);
        EXPECT_EQ(other->channels[0].events[1].longText, "A long text");
        EXPECT_EQ(other->channels[0].events[1].source.line, 17);
        EXPECT_EQ(other->actions.size(), plain.actions.size());
    }
    std::string broken = std::string(HEADER) + "colour blue\n";
    std::string brokenCr = broken;
    for (char& c : brokenCr)
        c = c == '\n' ? '\r' : c;
    Scenario refused;
    ASSERT_FALSE(ReadScenarioText("cr.scenario", brokenCr, &refused, &message));
    EXPECT_EQ(message, "cr.scenario:7: unknown key \"colour\" in [channel] (known: service, xmltv, event, eid, "
                       "language, short, long, outage)");
}

struct MalformedCase {
    int row;
    const char* lines;       // from line 7 on, after HEADER
    const char* message;
};

const MalformedCase MALFORMED[] = {
    {1, "[settings]\nDealy 120\n",
     "bad.scenario:8: unknown key \"Dealy\" in [settings] (known: FileName, RecFileNaming, Enable, Delay, "
     "AltFileNaming, AltDetPath, RecFileNameSuffix, DetFileNameSuffix, DVBDevice_Name, Comment)"},
    {2, "colour blue\n",
     "bad.scenario:7: unknown key \"colour\" in [channel] (known: service, xmltv, event, eid, language, short, "
     "long, outage)"},
    {3, "[scenario]\nstart 2025-03-29 18:00\n",
     "bad.scenario:8: unknown key \"start\" in [scenario] (known: zone, begin, end, network, guide, outage)"},
    {4, "event 2025-13-01 18:00 30m News\n", "bad.scenario:7: bad time \"2025-13-01 18:00\": no such date or time of day"},
    {5, "event 2025-02-29 18:00 30m News\n", "bad.scenario:7: bad time \"2025-02-29 18:00\": no such date or time of day"},
    {6, "event 2025-03-29 1800 30m News\n",
     "bad.scenario:7: bad time \"2025-03-29 1800\": expected YYYY-MM-DD HH:MM[:SS], optionally followed by Z or a "
     "UTC offset"},
    {7, "event 2025-03-29 18:00+25:00 30m News\n",
     "bad.scenario:7: bad time \"2025-03-29 18:00+25:00\": expected YYYY-MM-DD HH:MM[:SS], optionally followed by Z "
     "or a UTC offset"},
    {8, "event 2025-03-30 02:30 30m News\n",
     "bad.scenario:7: time \"2025-03-30 02:30\" does not exist in the scenario's zone (the clocks skip it)"},
    {9, "[actions]\n2025-10-26 02:30 tune Alpha TV\n",
     "bad.scenario:8: time \"2025-10-26 02:30\" occurs twice in the scenario's zone: add its UTC offset, e.g. "
     "02:30+01:00"},
    {10, "event 2025-03-29 18:00 30x News\n",
     "bad.scenario:7: bad duration \"30x\": expected hours, minutes and seconds such as 1h30m, 45m or 90s"},
    {11, "event 2025-03-29 18:00\n", "bad.scenario:7: missing duration after the start time"},
    {12, "[actions]\n2025-03-29 19:00 tune Delta\n", "bad.scenario:8: no channel \"Delta\" in the scenario"},
    {13, "[actions]\n2025-03-29 19:00 watch Alpha TV\n",
     "bad.scenario:8: unknown action \"watch\" (known: tune, enable, disable, delay)"},
    {14, "[actions]\n2025-03-29 19:00 delay 0\n", "bad.scenario:8: bad delay \"0\": the setup dialog takes 1 to 32767 seconds"},
    {15, "[actions]\n2025-03-29 19:00 delay 40000\n",
     "bad.scenario:8: bad delay \"40000\": the setup dialog takes 1 to 32767 seconds"},
    {16, "[actions]\n2025-03-29 19:00 disable\n2025-03-29 18:59 enable\n",
     "bad.scenario:9: actions must be in time order: this one comes before the one at line 8"},
    {17, "[actions]\n2025-03-30 06:00:01 disable\n",
     "bad.scenario:8: action outside the run (2025-03-29 18:00:00 CET to 2025-03-30 06:00:00 CEST)"},
    {18, "[actions]\n2025-03-29 19:00 enable now\n", "bad.scenario:8: unexpected \"now\" after \"enable\""},
    {19, "[recordings]\n",
     "bad.scenario:7: unknown section \"[recordings]\" (known: [scenario], [settings], [channel NAME], [actions])"},
    {20, "[channel Alpha TV]\n", "bad.scenario:7: channel \"Alpha TV\" is already defined at line 5"},
    {21, "[channel Beta]\nservice 257\n", "bad.scenario:7: channel \"Beta\" has the service id of \"Alpha TV\""},
    {22, "[channel Beta]\n", "bad.scenario:7: channel \"Beta\" needs a \"service\" id"},
    {23, "service 2\n", "bad.scenario:7: \"service\" given twice (first at line 6)"},
    {24, "[channel Beta]\nservice 0x10000\n",
     "bad.scenario:8: bad service id \"0x10000\": expected a number from 0 to 65535 (decimal, or hexadecimal after "
     "0x)"},
    {25, "short Headlines\n", "bad.scenario:7: \"short\" belongs to an event: write it after an \"event\" line"},
    {26, "event 2025-03-29 18:00 1h News\nevent 2025-03-29 18:59 30m Weather\n",
     "bad.scenario:8: event overlaps the event at line 7 on channel \"Alpha TV\""},
    {27, "event 2025-03-29 18:00 1h News\nlanguage german\n",
     "bad.scenario:8: bad language \"german\": expected one to three letters (deu) or a number after 0x"},
    {28, "event 2025-03-29 18:00 1h News\neid 0x100000000\n",
     "bad.scenario:8: bad eid \"0x100000000\": expected a number from 0 to 4294967295 (decimal, or hexadecimal "
     "after 0x)"},
    {29, "[settings]\nDelay 120\nDelay 180\n", "bad.scenario:9: \"Delay\" given twice (first at line 8)"},
    {30, "xmltv alpha.example\n", "bad.scenario:7: \"xmltv\" names a guide channel, but [scenario] names no guide"},
    {31, "[scenario]\nend 2025-03-30 07:00\n", "bad.scenario:8: \"end\" given twice (first at line 4)"},
    {32, "[scenario]\nnetwork 65536\n",
     "bad.scenario:8: bad network id \"65536\": expected a number from 0 to 65535 (decimal, or hexadecimal after "
     "0x)"},
    {33, "outage 2025-03-29 20:00 1h later\n", "bad.scenario:7: unexpected \"later\" after the outage's duration"},
    {34, "[channel]\n", "bad.scenario:7: [channel] needs the channel's name: [channel Alpha TV]"},
    {35, "[actions\n",
     "bad.scenario:7: bad section header \"[actions\": expected [scenario], [settings], [channel NAME] or [actions]"},
};

TEST_F(SimulatorScenarioTest, RefusesMalformedScenariosNamingFileAndLine)
{
    for (const MalformedCase& row : MALFORMED) {
        Scenario scenario;
        std::string message;
        EXPECT_FALSE(ReadScenarioText("bad.scenario", std::string(HEADER) + row.lines, &scenario, &message))
            << "row " << row.row;
        EXPECT_EQ(message, row.message) << "row " << row.row;
    }
}

struct WholeFileCase {
    int row;
    const char* text;
    const char* message;
};

// Problems that are not in the lines a case adds: the header itself, or what is missing.
const WholeFileCase WHOLE_FILE[] = {
    {1, "begin 2025-03-29 18:00\n", "bad.scenario:1: \"begin 2025-03-29 18:00\" stands before any section: begin with [scenario]"},
    {2, "[scenario]\nzone Mars/Olympus\nbegin 2025-03-29 18:00\n",
     "bad.scenario:2: unknown time zone \"Mars/Olympus\": expected a POSIX rule such as CET-1CEST,M3.5.0,M10.5.0/3 or "
     "a zone name such as Europe/Berlin"},
    {3, "[scenario]\nend 2025-03-30 06:00\n[channel A]\nservice 1\n",
     "bad.scenario:1: [scenario] needs \"begin\", the time the run starts"},
    {4, "[scenario]\nbegin 2025-03-29 18:00\n[channel A]\nservice 1\n",
     "bad.scenario:1: [scenario] needs \"end\", the time the run ends"},
    {5, "[scenario]\nbegin 2025-03-29 18:00\nend 2025-03-29 18:00\n[channel A]\nservice 1\n",
     "bad.scenario:3: the run ends before it begins"},
    {6, "[scenario]\nbegin 2025-03-29 18:00\nend 2025-03-29 19:00\n", "bad.scenario:1: no channels: add a [channel NAME] section"},
    {7, "[scenario]\nbegin 1969-12-31 23:59\n", "bad.scenario:2: time \"1969-12-31 23:59\" lies outside 1970-01-01 to 2106-02-07 (UTC)"},
    {8, "[settings]\nDelay 1\n[scenario]\nbegin 2025-03-29 18:00\nend 2025-03-29 19:00\n[channel A]\nservice 1\n"
        "[channel B]\nservice 0x1\n",
     "bad.scenario:8: channel \"B\" has the service id of \"A\""},
};

TEST_F(SimulatorScenarioTest, RefusesIncompleteScenariosNamingFileAndLine)
{
    for (const WholeFileCase& row : WHOLE_FILE) {
        Scenario scenario;
        std::string message;
        EXPECT_FALSE(ReadScenarioText("bad.scenario", row.text, &scenario, &message)) << "row " << row.row;
        EXPECT_EQ(message, row.message) << "row " << row.row;
    }
}

TEST_F(SimulatorScenarioTest, NamesAFileThatCannotBeOpened)
{
    Scenario scenario;
    std::string message;
    EXPECT_FALSE(ReadScenario("/nonexistent/none.scenario", &scenario, &message));
    EXPECT_EQ(message, "/nonexistent/none.scenario: cannot open the scenario: No such file or directory");
}

} // namespace
