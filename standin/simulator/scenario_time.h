// Times as a scenario writes them, in the zone that the scenario names, and as the timeline shows them.
#pragma once

#include <stdint.h>

#include <string>

const char* const DEFAULT_ZONE = "UTC0";

// Checks a TZ value (a POSIX rule such as "CET-1CEST,M3.5.0,M10.5.0/3", or a zone file name such as
// "Europe/Berlin") and puts it in force for this process.
bool UseScenarioZone(const std::string& zone, std::string* problem);

// A date "YYYY-MM-DD" and a time "HH:MM" or "HH:MM:SS", local to the zone in force unless the time
// ends in "Z" or a UTC offset ("+01:00", "-0500"). A local time that the zone skips, or one that it
// passes twice without an offset to tell which, is refused.
bool ParseScenarioTime(const std::string& date, const std::string& time, uint32_t* value,
                       std::string* problem);

// "90s", "30m", "2h", "1h30m", "1h0m15s".
bool ParseDuration(const std::string& text, uint32_t* seconds, std::string* problem);

// Seconds since 1970 for a UTC date and time; false when it lies outside the 32-bit range.
bool UtcTimeValue(int year, int month, int day, int hour, int minute, int second, int64_t offsetSeconds,
                  uint32_t* value);
bool IsValidDate(int year, int month, int day);

// "2025-03-29 20:03:00 CET" in the zone in force.
std::string FormatScenarioTime(uint32_t value);
