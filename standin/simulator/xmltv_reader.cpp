#include "standin/simulator/xmltv_reader.h"

#include "standin/simulator/scenario_time.h"

#include <ctype.h>
#include <errno.h>
#include <expat.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

// Windows-1252 keeps these characters in 0x80 to 0x9F, where Latin-1 has control codes.
const uint16_t CP1252_HIGH[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

enum TextField { NO_FIELD, FIELD_TITLE, FIELD_SUB_TITLE, FIELD_DESC };

struct Programme {
    SourceLine source;
    int channel;                 // index into scenario->channels
    uint32_t start;
    bool hasStop;
    uint32_t stop;
    std::string title, subTitle, desc, language;
    bool hasTitle, hasSubTitle, hasDesc;
};

struct GuideReader {
    XML_Parser parser;
    Scenario* scenario;
    std::string* message;
    int file;
    int depth;
    bool failed;
    bool inProgramme;            // a programme of a channel the scenario plays
    Programme programme;
    TextField field;             // the text element being read
    std::string text;
    std::vector<Programme> programmes;
};

SourceLine CurrentLine(GuideReader& reader)
{
    return {reader.file, (int)XML_GetCurrentLineNumber(reader.parser)};
}

void Fail(GuideReader& reader, SourceLine source, const std::string& problem)
{
    if (reader.failed)
        return;
    reader.failed = true;
    *reader.message = DescribeSource(*reader.scenario, source) + problem;
    XML_StopParser(reader.parser, XML_FALSE);
}

const char* FindAttribute(const XML_Char** attributes, const char* name)
{
    for (int i = 0; attributes[i] != nullptr; i += 2)
        if (strcmp(attributes[i], name) == 0)
            return attributes[i + 1];
    return nullptr;
}

int FindGuideChannel(const Scenario& scenario, const char* id)
{
    for (size_t i = 0; i < scenario.channels.size(); ++i)
        if (scenario.channels[i].guideId == id)
            return (int)i;
    return -1;
}

bool ReadTimeAttribute(GuideReader& reader, const XML_Char** attributes, const char* name, uint32_t* value)
{
    const char* text = FindAttribute(attributes, name);
    if (ParseXmltvTime(text, value))
        return true;
    Fail(reader, CurrentLine(reader), std::string("bad ") + name + " time \"" + text +
                                          "\": expected YYYYMMDDhhmmss with an optional offset such as +0100");
    return false;
}

void XMLCALL OnElementStart(void* data, const XML_Char* name, const XML_Char** attributes)
{
    GuideReader& reader = *(GuideReader*)data;
    ++reader.depth;
    if (reader.depth == 1) {
        if (strcmp(name, "tv") != 0)
            Fail(reader, CurrentLine(reader), std::string("not an XMLTV guide: the root element is <") + name +
                                                  ">, expected <tv>");
        return;
    }
    if (reader.depth == 2 && strcmp(name, "programme") == 0) {
        const char* channel = FindAttribute(attributes, "channel");
        const char* missing = channel == nullptr ? "channel" : FindAttribute(attributes, "start") == nullptr ? "start" : nullptr;
        if (missing != nullptr) {
            Fail(reader, CurrentLine(reader), std::string("<programme> without its \"") + missing + "\" attribute");
            return;
        }
        Programme& programme = reader.programme;
        programme = Programme();
        programme.source = CurrentLine(reader);
        programme.channel = FindGuideChannel(*reader.scenario, channel);
        if (!ReadTimeAttribute(reader, attributes, "start", &programme.start))
            return;
        programme.hasStop = FindAttribute(attributes, "stop") != nullptr;
        if (programme.hasStop && !ReadTimeAttribute(reader, attributes, "stop", &programme.stop))
            return;
        if (programme.hasStop && programme.stop < programme.start) {
            Fail(reader, programme.source, "programme stops before it starts");
            return;
        }
        reader.inProgramme = programme.channel >= 0;
        return;
    }
    if (reader.depth == 3 && reader.inProgramme) {
        Programme& programme = reader.programme;
        // The first of each text counts; guides repeat them in other languages.
        reader.field = strcmp(name, "title") == 0 && !programme.hasTitle           ? FIELD_TITLE
                       : strcmp(name, "sub-title") == 0 && !programme.hasSubTitle ? FIELD_SUB_TITLE
                       : strcmp(name, "desc") == 0 && !programme.hasDesc          ? FIELD_DESC
                                                                                   : NO_FIELD;
        reader.text.clear();
        const char* language = FindAttribute(attributes, "lang");
        if (reader.field == FIELD_TITLE && language != nullptr)
            programme.language = language;
    }
}

void XMLCALL OnElementEnd(void* data, const XML_Char*)
{
    GuideReader& reader = *(GuideReader*)data;
    if (reader.depth == 3 && reader.field != NO_FIELD) {
        Programme& programme = reader.programme;
        std::string text = ConvertGuideText(reader.text);
        if (reader.field == FIELD_TITLE) {
            programme.title = text;
            programme.hasTitle = true;
        } else if (reader.field == FIELD_SUB_TITLE) {
            programme.subTitle = text;
            programme.hasSubTitle = true;
        } else {
            programme.desc = text;
            programme.hasDesc = true;
        }
        reader.field = NO_FIELD;
    }
    if (reader.depth == 2 && reader.inProgramme) {
        reader.programmes.push_back(reader.programme);
        reader.inProgramme = false;
    }
    --reader.depth;
}

void XMLCALL OnCharacters(void* data, const XML_Char* text, int length)
{
    GuideReader& reader = *(GuideReader*)data;
    if (reader.field != NO_FIELD)
        reader.text.append(text, (size_t)length);
}

void AppendWindows1252(std::string& out, uint32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        out += (char)codePoint;
        return;
    }
    for (int i = 0; i < 32; ++i) {
        if (CP1252_HIGH[i] != 0 && CP1252_HIGH[i] == codePoint) {
            out += (char)(0x80 + i);
            return;
        }
    }
    out += '?';
}

uint32_t PackLanguage(const std::string& language)
{
    uint32_t packed = 0;
    for (size_t i = 0; i < language.size() && i < 3; ++i)
        packed = packed << 8 | (uint8_t)language[i];
    return packed;
}

// Programmes without a stop end where the next one on their channel starts.
bool AddProgrammes(GuideReader& reader)
{
    Scenario& scenario = *reader.scenario;
    std::vector<Programme>& programmes = reader.programmes;
    std::stable_sort(programmes.begin(), programmes.end(), [](const Programme& a, const Programme& b) {
        return a.channel != b.channel ? a.channel < b.channel : a.start < b.start;
    });
    for (size_t i = 0; i < programmes.size(); ++i) {
        const Programme& programme = programmes[i];
        ScenarioChannel& channel = scenario.channels[programme.channel];
        uint32_t stop = programme.stop;
        if (!programme.hasStop) {
            bool followed = i + 1 < programmes.size() && programmes[i + 1].channel == programme.channel;
            if (!followed) {
                *reader.message = DescribeSource(scenario, programme.source) + "programme has no \"stop\" and no later programme on \"" +
                                  channel.guideId + "\" tells where it ends";
                return false;
            }
            stop = programmes[i + 1].start;
        }
        ScenarioEvent event = {programme.source, programme.start, stop - programme.start, false, 0,
                               PackLanguage(programme.language), programme.title, programme.subTitle, programme.desc};
        channel.events.push_back(event);
    }
    for (const ScenarioChannel& channel : scenario.channels) {
        bool found = channel.guideId.empty();
        for (const Programme& programme : programmes)
            found = found || scenario.channels[programme.channel].guideId == channel.guideId;
        if (!found) {
            *reader.message = DescribeSource(scenario, channel.guideSource) + "the guide " + scenario.files[reader.file] +
                              " has no programme for \"" + channel.guideId + "\"";
            return false;
        }
    }
    return true;
}

} // namespace

bool ParseXmltvTime(const std::string& text, uint32_t* value)
{
    size_t digits = 0;
    while (digits < text.size() && isdigit((unsigned char)text[digits]))
        ++digits;
    if (digits != 12 && digits != 14)
        return false;
    int part[6] = {0, 0, 0, 0, 0, 0};
    static const int WIDTHS[6] = {4, 2, 2, 2, 2, 2};
    size_t at = 0;
    for (int i = 0; i < 6 && at < digits; ++i) {
        part[i] = atoi(text.substr(at, WIDTHS[i]).c_str());
        at += WIDTHS[i];
    }
    if (!IsValidDate(part[0], part[1], part[2]) || part[3] > 23 || part[4] > 59 || part[5] > 59)
        return false;
    std::string zone = text.substr(digits);
    size_t first = zone.find_first_not_of(' ');
    zone = first == std::string::npos ? "" : zone.substr(first);
    int64_t offset = 0;
    if (!zone.empty() && zone != "Z" && zone != "UTC" && zone != "GMT") {
        bool shaped = zone.size() == 5 && (zone[0] == '+' || zone[0] == '-');
        for (size_t i = 1; shaped && i < 5; ++i)
            shaped = isdigit((unsigned char)zone[i]);
        if (!shaped)
            return false;
        int hours = atoi(zone.substr(1, 2).c_str()), minutes = atoi(zone.substr(3, 2).c_str());
        if (hours > 14 || minutes > 59)
            return false;
        offset = (zone[0] == '-' ? -1 : 1) * (int64_t)(hours * 3600 + minutes * 60);
    }
    return UtcTimeValue(part[0], part[1], part[2], part[3], part[4], part[5], offset, value);
}

std::string ConvertGuideText(const std::string& utf8)
{
    std::string out;
    bool blank = false;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char lead = (unsigned char)utf8[i];
        int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
        uint32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length && i + k < utf8.size(); ++k)
            codePoint = codePoint << 6 | ((unsigned char)utf8[i + k] & 0x3F);
        i += length;
        if (codePoint == ' ' || codePoint == '\t' || codePoint == '\n' || codePoint == '\r') {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        AppendWindows1252(out, codePoint);
    }
    return out;
}

bool ReadXmltvGuide(const std::string& path, Scenario* scenario, std::string* message)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *message = path + ": cannot open the guide: " + strerror(errno);
        return false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();

    scenario->files.push_back(path);
    GuideReader reader = {};
    reader.scenario = scenario;
    reader.message = message;
    reader.file = (int)scenario->files.size() - 1;
    reader.parser = XML_ParserCreate(nullptr);
    XML_SetUserData(reader.parser, &reader);
    XML_SetElementHandler(reader.parser, OnElementStart, OnElementEnd);
    XML_SetCharacterDataHandler(reader.parser, OnCharacters);
    XML_Status status = XML_Parse(reader.parser, text.data(), (int)text.size(), XML_TRUE);
    if (status != XML_STATUS_OK && !reader.failed) {
        reader.failed = true;
        *message = DescribeSource(*scenario, CurrentLine(reader)) + "broken XMLTV guide: " +
                   XML_ErrorString(XML_GetErrorCode(reader.parser));
    }
    XML_ParserFree(reader.parser);
    return !reader.failed && AddProgrammes(reader);
}
