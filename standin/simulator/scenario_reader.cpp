#include "standin/simulator/scenario_reader.h"

#include "host/core_records.h"
#include "standin/simulator/scenario_time.h"
#include "standin/simulator/xmltv_reader.h"

#include <ctype.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

const int MAX_CHANNELS = CHANNEL_TABLE_ENTRIES;
const size_t MAX_CHANNEL_NAME = CHANNEL_ENTRY_SIZE - ENTRY_NAME - 1; // the table's room, terminator aside
const int MIN_DIALOG_DELAY = 1;      // what the setup dialog accepts
const int MAX_DIALOG_DELAY = 32767;

enum Section { NO_SECTION, SECTION_SCENARIO, SECTION_SETTINGS, SECTION_CHANNEL, SECTION_ACTIONS };

// An action names its channel before the channel table may be complete; resolved at the end.
struct PendingTune {
    size_t action;
    std::string channel;
};

struct Reader {
    Scenario* scenario;
    std::string* message;
    SourceLine at;
    Section section;
    int channel;                     // the [channel] being read
    int event;                       // the event that eid, language, short and long lines belong to
    SourceLine scenarioHeader;       // where [scenario] was opened; line 0: never
    SourceLine beginLine, endLine, zoneLine, networkLine, guideLine;
    std::vector<PendingTune> tunes;
};

bool Fail(Reader& reader, const std::string& problem)
{
    *reader.message = DescribeSource(*reader.scenario, reader.at) + problem;
    return false;
}

bool FailAt(Reader& reader, SourceLine source, const std::string& problem)
{
    reader.at = source;
    return Fail(reader, problem);
}

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The first word of text, and the rest without its leading blanks.
void SplitWord(const std::string& text, std::string* word, std::string* rest)
{
    size_t blank = text.find_first_of(" \t");
    *word = text.substr(0, blank);
    *rest = blank == std::string::npos ? "" : Trim(text.substr(blank));
}

// Decimal, or hexadecimal after "0x".
bool ParseNumber(const std::string& text, uint64_t limit, uint64_t* value)
{
    const char* digits = text.c_str();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        digits += 2;
        base = 16;
    }
    if (*digits == '\0')
        return false;
    uint64_t number = 0;
    for (const char* at = digits; *at != '\0'; ++at) {
        int digit = isdigit((unsigned char)*at) ? *at - '0'
                    : base == 16 && isxdigit((unsigned char)*at) ? tolower((unsigned char)*at) - 'a' + 10
                                                                  : -1;
        if (digit < 0)
            return false;
        number = number * base + digit;
        if (number > limit)
            return false;
    }
    *value = number;
    return true;
}

bool ReadNumber(Reader& reader, const std::string& what, const std::string& text, uint64_t limit, uint64_t* value)
{
    if (ParseNumber(text, limit, value))
        return true;
    return Fail(reader, "bad " + what + " \"" + text + "\": expected a number from 0 to " + std::to_string(limit) +
                            " (decimal, or hexadecimal after 0x)");
}

// "deu" as the host packs it, first letter highest; or a number after 0x.
bool ParseLanguage(Reader& reader, const std::string& text, uint32_t* language)
{
    bool letters = !text.empty() && text.size() <= 3;
    for (char c : text)
        letters = letters && isalpha((unsigned char)c);
    if (letters) {
        *language = 0;
        for (char c : text)
            *language = *language << 8 | (uint8_t)c;
        return true;
    }
    uint64_t number;
    if (text.size() > 2 && text.compare(0, 2, "0x") == 0 && ParseNumber(text, UINT32_MAX, &number)) {
        *language = (uint32_t)number;
        return true;
    }
    return Fail(reader, "bad language \"" + text + "\": expected one to three letters (deu) or a number after 0x");
}

// "DATE TIME rest": the time and what follows it.
bool ReadTimeAndRest(Reader& reader, const std::string& text, uint32_t* time, std::string* rest)
{
    std::string date, clock, after;
    SplitWord(text, &date, &after);
    SplitWord(after, &clock, rest);
    std::string problem;
    if (!ParseScenarioTime(date, clock, time, &problem))
        return Fail(reader, problem);
    return true;
}

// "DATE TIME DURATION rest"
bool ReadSpan(Reader& reader, const std::string& text, uint32_t* start, uint32_t* duration, std::string* rest)
{
    std::string after, length;
    if (!ReadTimeAndRest(reader, text, start, &after))
        return false;
    SplitWord(after, &length, rest);
    std::string problem;
    if (length.empty())
        return Fail(reader, "missing duration after the start time");
    if (!ParseDuration(length, duration, &problem))
        return Fail(reader, problem);
    if ((uint64_t)*start + *duration > UINT32_MAX)
        return Fail(reader, "the span ends after 2106-02-07 (UTC)");
    return true;
}

bool OnlyOnce(Reader& reader, SourceLine* seen, const std::string& key)
{
    if (seen->line != 0)
        return Fail(reader, "\"" + key + "\" given twice (first at line " + std::to_string(seen->line) + ")");
    *seen = reader.at;
    return true;
}

bool ReadScenarioKey(Reader& reader, const std::string& key, const std::string& value)
{
    Scenario& scenario = *reader.scenario;
    std::string rest;
    if (key == "zone")
        return OnlyOnce(reader, &reader.zoneLine, key); // already in force: read before everything else
    if (key == "begin" || key == "end") {
        if (!OnlyOnce(reader, key == "begin" ? &reader.beginLine : &reader.endLine, key))
            return false;
        if (!ReadTimeAndRest(reader, value, key == "begin" ? &scenario.begin : &scenario.end, &rest))
            return false;
        return rest.empty() || Fail(reader, "unexpected \"" + rest + "\" after the time");
    }
    if (key == "network") {
        uint64_t network;
        if (!OnlyOnce(reader, &reader.networkLine, key) || !ReadNumber(reader, "network id", value, 0xFFFF, &network))
            return false;
        scenario.networkId = (uint16_t)network;
        return true;
    }
    if (key == "guide") {
        if (!OnlyOnce(reader, &reader.guideLine, key))
            return false;
        if (value.empty())
            return Fail(reader, "\"guide\" needs the path of an XMLTV file");
        const std::string& self = scenario.files[0];
        size_t slash = self.find_last_of('/');
        scenario.guidePath = value[0] == '/' || slash == std::string::npos ? value : self.substr(0, slash + 1) + value;
        return true;
    }
    if (key == "outage") {
        ScenarioOutage outage = {reader.at, 0, 0};
        if (!ReadSpan(reader, value, &outage.start, &outage.duration, &rest))
            return false;
        if (!rest.empty())
            return Fail(reader, "unexpected \"" + rest + "\" after the outage's duration");
        scenario.outages.push_back(outage);
        return true;
    }
    return Fail(reader, "unknown key \"" + key + "\" in [scenario] (known: zone, begin, end, network, guide, outage)");
}

bool ReadSettingKey(Reader& reader, const std::string& key, const std::string& value)
{
    if (SettingSection(key) == nullptr)
        return Fail(reader, "unknown key \"" + key + "\" in [settings] (known: " + ListSettingKeys() + ")");
    for (const ScenarioSetting& setting : reader.scenario->settings)
        if (setting.key == key)
            return Fail(reader, "\"" + key + "\" given twice (first at line " + std::to_string(setting.source.line) + ")");
    reader.scenario->settings.push_back({reader.at, key, value});
    return true;
}

bool ReadChannelKey(Reader& reader, const std::string& key, const std::string& value)
{
    ScenarioChannel& channel = reader.scenario->channels[reader.channel];
    std::string rest;
    if (key == "service") {
        uint64_t service;
        if (!OnlyOnce(reader, &channel.serviceSource, key) || !ReadNumber(reader, "service id", value, 0xFFFF, &service))
            return false;
        channel.serviceId = (uint16_t)service;
        return true;
    }
    if (key == "xmltv") {
        if (value.empty() || value.find_first_of(" \t") != std::string::npos)
            return Fail(reader, "\"xmltv\" needs the channel's id in the guide, one word");
        if (!OnlyOnce(reader, &channel.guideSource, key))
            return false;
        channel.guideId = value;
        return true;
    }
    if (key == "event") {
        ScenarioEvent event = {reader.at, 0, 0, false, 0, 0, "", "", ""};
        if (!ReadSpan(reader, value, &event.start, &event.duration, &event.name))
            return false;
        channel.events.push_back(event);
        reader.event = (int)channel.events.size() - 1;
        return true;
    }
    if (key == "outage") {
        ScenarioOutage outage = {reader.at, 0, 0};
        if (!ReadSpan(reader, value, &outage.start, &outage.duration, &rest))
            return false;
        if (!rest.empty())
            return Fail(reader, "unexpected \"" + rest + "\" after the outage's duration");
        channel.outages.push_back(outage);
        return true;
    }
    if (key != "eid" && key != "language" && key != "short" && key != "long")
        return Fail(reader, "unknown key \"" + key +
                                "\" in [channel] (known: service, xmltv, event, eid, language, short, long, outage)");
    if (reader.event < 0)
        return Fail(reader, "\"" + key + "\" belongs to an event: write it after an \"event\" line");
    ScenarioEvent& event = channel.events[reader.event];
    if (key == "eid") {
        uint64_t eid;
        if (!ReadNumber(reader, "eid", value, UINT32_MAX, &eid))
            return false;
        event.eid = (uint32_t)eid;
        event.hasEid = true;
        return true;
    }
    if (key == "language")
        return ParseLanguage(reader, value, &event.language);
    (key == "short" ? event.shortText : event.longText) = value;
    return true;
}

bool ReadActionLine(Reader& reader, const std::string& text)
{
    Scenario& scenario = *reader.scenario;
    ScenarioAction action = {reader.at, 0, ACTION_TUNE, -1, 0};
    std::string rest, verb, argument;
    if (!ReadTimeAndRest(reader, text, &action.time, &rest))
        return false;
    SplitWord(rest, &verb, &argument);
    if (verb == "tune") {
        if (argument.empty())
            return Fail(reader, "\"tune\" needs a channel name");
        reader.tunes.push_back({scenario.actions.size(), argument});
    } else if (verb == "enable" || verb == "disable") {
        action.kind = verb == "enable" ? ACTION_ENABLE : ACTION_DISABLE;
        if (!argument.empty())
            return Fail(reader, "unexpected \"" + argument + "\" after \"" + verb + "\"");
    } else if (verb == "delay") {
        action.kind = ACTION_DELAY;
        uint64_t delay;
        if (!ParseNumber(argument, MAX_DIALOG_DELAY, &delay) || delay < MIN_DIALOG_DELAY || argument[0] == '0')
            return Fail(reader, "bad delay \"" + argument + "\": the setup dialog takes 1 to 32767 seconds");
        action.delay = (int)delay;
    } else {
        return Fail(reader, "unknown action \"" + verb + "\" (known: tune, enable, disable, delay)");
    }
    if (!scenario.actions.empty() && action.time < scenario.actions.back().time)
        return Fail(reader, "actions must be in time order: this one comes before the one at line " +
                                std::to_string(scenario.actions.back().source.line));
    scenario.actions.push_back(action);
    return true;
}

bool OpenSection(Reader& reader, const std::string& line)
{
    Scenario& scenario = *reader.scenario;
    if (line.back() != ']')
        return Fail(reader, "bad section header \"" + line + "\": expected [scenario], [settings], [channel NAME] or [actions]");
    std::string inside = Trim(line.substr(1, line.size() - 2)), word, name;
    SplitWord(inside, &word, &name);
    reader.event = -1;
    if (word == "scenario" && name.empty()) {
        reader.section = SECTION_SCENARIO;
        if (reader.scenarioHeader.line == 0)
            reader.scenarioHeader = reader.at;
    } else if (word == "settings" && name.empty()) {
        reader.section = SECTION_SETTINGS;
    } else if (word == "actions" && name.empty()) {
        reader.section = SECTION_ACTIONS;
    } else if (word == "channel") {
        if (name.empty())
            return Fail(reader, "[channel] needs the channel's name: [channel Alpha TV]");
        if (name.size() > MAX_CHANNEL_NAME)
            return Fail(reader, "channel name longer than " + std::to_string(MAX_CHANNEL_NAME) + " bytes");
        int known = FindChannelByName(scenario, name);
        if (known >= 0)
            return Fail(reader, "channel \"" + name + "\" is already defined at line " +
                                    std::to_string(scenario.channels[known].source.line));
        if ((int)scenario.channels.size() == MAX_CHANNELS)
            return Fail(reader, "more than " + std::to_string(MAX_CHANNELS) + " channels: the host's table holds no more");
        ScenarioChannel channel = {reader.at, name, 0, {0, 0}, "", {0, 0}, {}, {}};
        scenario.channels.push_back(channel);
        reader.section = SECTION_CHANNEL;
        reader.channel = (int)scenario.channels.size() - 1;
    } else {
        return Fail(reader, "unknown section \"" + line + "\" (known: [scenario], [settings], [channel NAME], [actions])");
    }
    return true;
}

bool ReadLine(Reader& reader, const std::string& line)
{
    if (line[0] == '[')
        return OpenSection(reader, line);
    std::string key, value;
    SplitWord(line, &key, &value);
    switch (reader.section) {
    case SECTION_SCENARIO: return ReadScenarioKey(reader, key, value);
    case SECTION_SETTINGS: return ReadSettingKey(reader, key, value);
    case SECTION_CHANNEL: return ReadChannelKey(reader, key, value);
    case SECTION_ACTIONS: return ReadActionLine(reader, line);
    case NO_SECTION: break;
    }
    return Fail(reader, "\"" + line + "\" stands before any section: begin with [scenario]");
}

bool IsSkipped(const std::string& line)
{
    return line.empty() || line[0] == '#';
}

// The zone decides how every time in the file reads, so it is put in force before any line is read.
bool ReadZone(Reader& reader, const std::vector<std::string>& lines)
{
    bool inScenario = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = Trim(lines[i]), key, value;
        if (IsSkipped(line))
            continue;
        if (line[0] == '[') {
            inScenario = Trim(line.substr(1, line.size() - 1 - (line.back() == ']'))) == "scenario";
            continue;
        }
        SplitWord(line, &key, &value);
        if (inScenario && key == "zone") {
            reader.at = {0, (int)i + 1};
            reader.scenario->zone = value;
            std::string problem;
            return UseScenarioZone(value, &problem) || Fail(reader, problem);
        }
    }
    reader.scenario->zone = DEFAULT_ZONE;
    std::string problem;
    return UseScenarioZone(DEFAULT_ZONE, &problem);
}

// "line 12" within the same file, "guide.xml:12" across files.
std::string DescribeOther(const Scenario& scenario, SourceLine other, SourceLine from)
{
    if (other.file == from.file)
        return "line " + std::to_string(other.line);
    return scenario.files[other.file] + ":" + std::to_string(other.line);
}

// Events of one channel may touch but not overlap: the EPG gives one current event at a time.
bool SortChannelEvents(Reader& reader, ScenarioChannel& channel)
{
    std::stable_sort(channel.events.begin(), channel.events.end(),
                     [](const ScenarioEvent& a, const ScenarioEvent& b) { return a.start < b.start; });
    for (size_t i = 0; i < channel.events.size(); ++i) {
        ScenarioEvent& event = channel.events[i];
        if (!event.hasEid)
            event.eid = (uint32_t)i + 1;
        if (i > 0) {
            const ScenarioEvent& before = channel.events[i - 1];
            if ((uint64_t)before.start + before.duration > event.start)
                return FailAt(reader, event.source,
                              "event overlaps the event at " +
                                  DescribeOther(*reader.scenario, before.source, event.source) + " on channel \"" + channel.name + "\"");
        }
    }
    return true;
}

bool CheckScenario(Reader& reader)
{
    Scenario& scenario = *reader.scenario;
    SourceLine fileLine = {0, reader.scenarioHeader.line != 0 ? reader.scenarioHeader.line : 1};
    if (reader.beginLine.line == 0 || reader.endLine.line == 0)
        return FailAt(reader, fileLine, std::string("[scenario] needs \"") +
                                            (reader.beginLine.line == 0 ? "begin" : "end") + "\", the time the run " +
                                            (reader.beginLine.line == 0 ? "starts" : "ends"));
    if (scenario.end <= scenario.begin)
        return FailAt(reader, reader.endLine, "the run ends before it begins");
    if (scenario.channels.empty())
        return FailAt(reader, fileLine, "no channels: add a [channel NAME] section");
    for (size_t i = 0; i < scenario.channels.size(); ++i) {
        const ScenarioChannel& channel = scenario.channels[i];
        if (channel.serviceSource.line == 0)
            return FailAt(reader, channel.source, "channel \"" + channel.name + "\" needs a \"service\" id");
        for (size_t j = 0; j < i; ++j)
            if (scenario.channels[j].serviceId == channel.serviceId)
                return FailAt(reader, channel.source, "channel \"" + channel.name + "\" has the service id of \"" +
                                                          scenario.channels[j].name + "\"");
        if (!channel.guideId.empty() && scenario.guidePath.empty())
            return FailAt(reader, channel.guideSource, "\"xmltv\" names a guide channel, but [scenario] names no guide");
    }
    for (const PendingTune& tune : reader.tunes) {
        ScenarioAction& action = scenario.actions[tune.action];
        action.channel = FindChannelByName(scenario, tune.channel);
        if (action.channel < 0)
            return FailAt(reader, action.source, "no channel \"" + tune.channel + "\" in the scenario");
    }
    for (const ScenarioAction& action : scenario.actions)
        if (action.time < scenario.begin || action.time > scenario.end)
            return FailAt(reader, action.source, "action outside the run (" + FormatScenarioTime(scenario.begin) +
                                                     " to " + FormatScenarioTime(scenario.end) + ")");
    return true;
}

} // namespace

void SplitLines(const std::string& text, std::vector<std::string>* lines)
{
    lines->clear();
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r')
            continue;
        lines->push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines->push_back(text.substr(start));
}

bool ReadScenarioText(const std::string& name, const std::string& text, Scenario* scenario, std::string* message)
{
    *scenario = Scenario();
    scenario->files.push_back(name);
    scenario->networkId = 1;
    Reader reader = {};
    reader.scenario = scenario;
    reader.message = message;
    reader.channel = -1;
    reader.event = -1;

    std::vector<std::string> lines;
    SplitLines(text, &lines);
    if (!ReadZone(reader, lines))
        return false;
    for (size_t i = 0; i < lines.size(); ++i) {
        reader.at = {0, (int)i + 1};
        std::string line = Trim(lines[i]);
        if (!IsSkipped(line) && !ReadLine(reader, line))
            return false;
    }
    if (!CheckScenario(reader))
        return false;
    if (!scenario->guidePath.empty() && !ReadXmltvGuide(scenario->guidePath, scenario, message))
        return false;
    for (ScenarioChannel& channel : scenario->channels)
        if (!SortChannelEvents(reader, channel))
            return false;
    return true;
}

bool ReadScenario(const std::string& path, Scenario* scenario, std::string* message)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *message = path + ": cannot open the scenario: " + strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ReadScenarioText(path, text.str(), scenario, message);
}
