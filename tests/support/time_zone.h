// Tests pick their own time zone, so that local times in names and stamps are the same everywhere.
#pragma once

#include "capture/records.h"

extern const char* const ZONE_UTC;
extern const char* const ZONE_CENTRAL_EUROPE; // daylight saving from the last Sunday of March
extern const char* const ZONE_US_EASTERN;     // west of Greenwich: 1970-01-01 00:00 UTC is 1969 here

void UseTimeZone(const char* zone);
// The time value of a local date and time in the zone in force.
TimeValue LocalTimeValue(int year, int month, int day, int hour, int minute, int second);
