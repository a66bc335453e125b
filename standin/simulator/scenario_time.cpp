#include "standin/simulator/scenario_time.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

namespace {

const char* const ZONE_FOLDER = "/usr/share/zoneinfo/";
const char* const TIME_FORMS = "expected YYYY-MM-DD HH:MM[:SS], optionally followed by Z or a UTC offset";

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day)
{
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// Reads exactly `count` digits.
bool ReadDigits(const char*& text, int count, int* value)
{
    *value = 0;
    for (int i = 0; i < count; ++i) {
        if (!isdigit((unsigned char)text[i]))
            return false;
        *value = *value * 10 + (text[i] - '0');
    }
    text += count;
    return true;
}

// A POSIX zone name: three or more letters, or anything in angle brackets.
bool SkipZoneName(const char*& text)
{
    if (*text == '<') {
        const char* close = strchr(text, '>');
        if (close == nullptr || close - text < 4)
            return false;
        text = close + 1;
        return true;
    }
    const char* start = text;
    while (isalpha((unsigned char)*text))
        ++text;
    return text - start >= 3;
}

// [+-]hh[:mm[:ss]]
bool SkipZoneOffset(const char*& text)
{
    if (*text == '+' || *text == '-')
        ++text;
    if (!isdigit((unsigned char)*text))
        return false;
    while (isdigit((unsigned char)*text) || *text == ':')
        ++text;
    return true;
}

bool IsPosixZoneRule(const char* text)
{
    if (!SkipZoneName(text) || !SkipZoneOffset(text))
        return false;
    if (*text == '\0')
        return true;
    if (!SkipZoneName(text))
        return false;
    if (*text != ',' && *text != '\0' && !SkipZoneOffset(text))
        return false;
    if (*text == '\0')
        return true;
    // Two transition rules: Mm.w.d, Jn or n, each with an optional /time.
    if (*text++ != ',')
        return false;
    int rules = 1;
    for (; *text != '\0'; ++text) {
        if (*text == ',')
            ++rules;
        else if (!isdigit((unsigned char)*text) && strchr("MJ./:+-", *text) == nullptr)
            return false;
    }
    return rules == 2;
}

bool ReadOffset(const char* text, int64_t* offsetSeconds)
{
    if (strcmp(text, "Z") == 0) {
        *offsetSeconds = 0;
        return true;
    }
    if (*text != '+' && *text != '-')
        return false;
    int sign = *text == '-' ? -1 : 1;
    ++text;
    int hours, minutes;
    if (!ReadDigits(text, 2, &hours))
        return false;
    if (*text == ':')
        ++text;
    if (!ReadDigits(text, 2, &minutes) || *text != '\0' || hours > 14 || minutes > 59)
        return false;
    *offsetSeconds = sign * (hours * 3600 + minutes * 60);
    return true;
}

// The local time as mktime reads it with the given daylight-saving guess, kept only when it shows
// the same wall-clock time again.
bool ConvertLocal(const struct tm& wanted, int isDst, time_t* value)
{
    struct tm local = wanted;
    local.tm_isdst = isDst;
    time_t converted = mktime(&local);
    if (converted == (time_t)-1)
        return false;
    struct tm shown;
    if (localtime_r(&converted, &shown) == nullptr)
        return false;
    if (shown.tm_year != wanted.tm_year || shown.tm_mon != wanted.tm_mon || shown.tm_mday != wanted.tm_mday ||
        shown.tm_hour != wanted.tm_hour || shown.tm_min != wanted.tm_min || shown.tm_sec != wanted.tm_sec)
        return false;
    *value = converted;
    return true;
}

} // namespace

bool IsValidDate(int year, int month, int day)
{
    static const int MONTH_DAYS[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > MONTH_DAYS[month - 1])
        return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month != 2 || day <= 28 || leap;
}

bool UtcTimeValue(int year, int month, int day, int hour, int minute, int second, int64_t offsetSeconds,
                  uint32_t* value)
{
    int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offsetSeconds;
    if (seconds < 0 || seconds > (int64_t)UINT32_MAX)
        return false;
    *value = (uint32_t)seconds;
    return true;
}

bool UseScenarioZone(const std::string& zone, std::string* problem)
{
    const char* name = zone.c_str();
    if (*name == ':')
        ++name;
    // A zone file, whose name must lie inside the zone folder, or else a POSIX rule.
    struct stat info;
    std::string file = ZONE_FOLDER + std::string(name);
    bool valid = (*name != '\0' && strstr(name, "..") == nullptr && stat(file.c_str(), &info) == 0 &&
                  S_ISREG(info.st_mode)) ||
                 IsPosixZoneRule(name);
    if (!valid) {
        *problem = "unknown time zone \"" + zone +
                   "\": expected a POSIX rule such as CET-1CEST,M3.5.0,M10.5.0/3 or a zone name such as Europe/Berlin";
        return false;
    }
    setenv("TZ", zone.c_str(), 1);
    tzset();
    return true;
}

bool ParseScenarioTime(const std::string& date, const std::string& time, uint32_t* value, std::string* problem)
{
    const char* text = date.c_str();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool shaped = ReadDigits(text, 4, &year) && *text++ == '-' && ReadDigits(text, 2, &month) && *text++ == '-' &&
                  ReadDigits(text, 2, &day) && *text == '\0';
    text = time.c_str();
    shaped = shaped && ReadDigits(text, 2, &hour) && *text++ == ':' && ReadDigits(text, 2, &minute);
    if (shaped && *text == ':') {
        ++text;
        shaped = ReadDigits(text, 2, &second);
    }
    const std::string written = date + " " + time;
    int64_t offset = 0;
    bool local = shaped && *text == '\0';
    if (!shaped || (!local && !ReadOffset(text, &offset))) {
        *problem = "bad time \"" + written + "\": " + TIME_FORMS;
        return false;
    }
    if (!IsValidDate(year, month, day) || hour > 23 || minute > 59 || second > 59) {
        *problem = "bad time \"" + written + "\": no such date or time of day";
        return false;
    }
    if (!local) {
        if (!UtcTimeValue(year, month, day, hour, minute, second, offset, value)) {
            *problem = "time \"" + written + "\" lies outside 1970-01-01 to 2106-02-07 (UTC)";
            return false;
        }
        return true;
    }
    struct tm wanted = {};
    wanted.tm_year = year - 1900;
    wanted.tm_mon = month - 1;
    wanted.tm_mday = day;
    wanted.tm_hour = hour;
    wanted.tm_min = minute;
    wanted.tm_sec = second;
    time_t standard = 0, summer = 0;
    bool isStandard = ConvertLocal(wanted, 0, &standard);
    bool isSummer = ConvertLocal(wanted, 1, &summer);
    if (!isStandard && !isSummer) {
        *problem = "time \"" + written + "\" does not exist in the scenario's zone (the clocks skip it)";
        return false;
    }
    if (isStandard && isSummer && standard != summer) {
        *problem = "time \"" + written + "\" occurs twice in the scenario's zone: add its UTC offset, e.g. " + time +
                   "+01:00";
        return false;
    }
    time_t converted = isStandard ? standard : summer;
    if (converted < 0 || converted > (time_t)UINT32_MAX) {
        *problem = "time \"" + written + "\" lies outside 1970-01-01 to 2106-02-07 (UTC)";
        return false;
    }
    *value = (uint32_t)converted;
    return true;
}

bool ParseDuration(const std::string& text, uint32_t* seconds, std::string* problem)
{
    static const char UNITS[] = "hms";
    static const int64_t UNIT_SECONDS[] = {3600, 60, 1};
    int64_t total = 0;
    int nextUnit = 0; // units come in the order h, m, s, each at most once
    const char* at = text.c_str();
    bool valid = *at != '\0';
    while (valid && *at != '\0') {
        int64_t number = 0;
        const char* digits = at;
        while (isdigit((unsigned char)*at) && number < 10000000000LL)
            number = number * 10 + (*at++ - '0');
        const char* unit = *at != '\0' ? strchr(UNITS + nextUnit, *at) : nullptr;
        valid = at != digits && unit != nullptr;
        if (valid) {
            nextUnit = (int)(unit - UNITS) + 1;
            total += number * UNIT_SECONDS[unit - UNITS];
            valid = total <= (int64_t)UINT32_MAX;
            ++at;
        }
    }
    if (!valid) {
        *problem = "bad duration \"" + text + "\": expected hours, minutes and seconds such as 1h30m, 45m or 90s";
        return false;
    }
    *seconds = (uint32_t)total;
    return true;
}

std::string FormatScenarioTime(uint32_t value)
{
    time_t wide = (time_t)value;
    struct tm local;
    localtime_r(&wide, &local);
    char text[64];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &local);
    return text;
}
