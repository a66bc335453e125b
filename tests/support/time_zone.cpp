#include "tests/support/time_zone.h"

#include <stdlib.h>
#include <time.h>

const char* const ZONE_UTC = "UTC0";
const char* const ZONE_CENTRAL_EUROPE = "CET-1CEST,M3.5.0,M10.5.0/3";
const char* const ZONE_US_EASTERN = "EST5EDT,M3.2.0,M11.1.0";

void UseTimeZone(const char* zone)
{
    setenv("TZ", zone, 1);
    tzset();
}

TimeValue LocalTimeValue(int year, int month, int day, int hour, int minute, int second)
{
    struct tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return (TimeValue)mktime(&local);
}
