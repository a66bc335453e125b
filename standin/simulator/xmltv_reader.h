// The EPG from an XMLTV guide, the format that most EPG tools export.
#pragma once

#include "standin/simulator/scenario.h"

// Adds the guide's programmes to the channels that name a guide id ("xmltv" in their section):
// start and stop, title (with its lang), sub-title and desc. The guide joins scenario->files, so
// every complaint names its line. Texts arrive in UTF-8 and are given to the host as Windows-1252.
bool ReadXmltvGuide(const std::string& path, Scenario* scenario, std::string* message);

// "20250329180000 +0100": the digits down to minutes or seconds, then an optional UTC offset
// (none: UTC, as XMLTV has it).
bool ParseXmltvTime(const std::string& text, uint32_t* value);

// UTF-8 to Windows-1252; a character that it lacks becomes "?". Runs of white space become one
// space, and the ends are trimmed: guides indent their texts.
std::string ConvertGuideText(const std::string& utf8);
