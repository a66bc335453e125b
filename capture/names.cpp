#include "capture/names.h"

#include "capture/text.h"

#include <stdio.h>
#include <string.h>

void ConvertToLocalTime(TimeValue time, struct tm* local)
{
    memset(local, 0, sizeof *local); // never a field left unset, whatever the conversions do
#ifdef _WIN32
    // The 64-bit conversions: the 32-bit build's own time_t is signed 32 bits and would turn every
    // time from 2038 on into a time that cannot be converted.
    __time64_t wide = time;
    bool converted = _localtime64_s(local, &wide) == 0;
#else
    time_t wide = (time_t)time; // unsigned: the 32-bit count runs to 2106
    bool converted = localtime_r(&wide, local) != nullptr;
#endif
    // Windows has no local time before 1970-01-01 00:00 local; treat the same times alike everywhere.
    if (!converted || local->tm_year < 70) {
#ifdef _WIN32
        _gmtime64_s(local, &wide);
#else
        gmtime_r(&wide, local);
#endif
    }
}

void CleanSnapshotTexts(void)
{
    EventRecord& snapshot = captureState.snapshot;
    snapshot.channelName[CHANNEL_NAME_SIZE - 1] = '\0';
    snapshot.eventName[EVENT_NAME_SIZE - 1] = '\0';
    snapshot.shortText[SHORT_TEXT_SIZE - 1] = '\0';
    snapshot.longText[LONG_TEXT_SIZE - 1] = '\0';
    // Blanking before trimming: a forbidden character at the end becomes a space and goes too.
    BlankForbiddenChars(snapshot.channelName);
    BlankForbiddenChars(snapshot.eventName);
    TrimTrailingBlanks(snapshot.channelName);
    TrimTrailingBlanks(snapshot.eventName);
    TrimTrailingBlanks(snapshot.shortText);
    TrimTrailingBlanks(snapshot.longText);
}

void DetailDirectory(char detailDir[FOLDER_SIZE])
{
    const char* folder = settings.AltDetPath[0] != '\0' ? settings.AltDetPath : settings.FileName;
    CopyText(detailDir, FOLDER_SIZE, folder);
}

void BuildFileName(const char* suffix, char name[FOLDER_SIZE])
{
    const EventRecord& snapshot = captureState.snapshot;
    struct tm local;
    ConvertToLocalTime(snapshot.start, &local);
    const char* channel = SkipLeadingBlanks(snapshot.channelName);
    const char* event = SkipLeadingBlanks(snapshot.eventName);
    if (settings.AltFileNaming == 0) {
        snprintf(name, FOLDER_SIZE, "%02d%02d%02d_%02d%02d%02d %s %s%s", local.tm_year - 100,
                 local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, channel,
                 event, suffix);
    } else {
        snprintf(name, FOLDER_SIZE, "%s_%02d%s%02d-%02d%02d_%s%s", event, local.tm_year - 100,
                 MonthAbbrev(local.tm_mon), local.tm_mday, local.tm_hour, local.tm_min, channel, suffix);
    }
}

bool BuildDetailPath(const char* detailDir, const char* detailName, char detailPath[FOLDER_SIZE])
{
    size_t length = strlen(detailDir) + strlen(detailName);
    if (length >= FOLDER_SIZE || length >= MAX_PATH) {
        detailPath[0] = '\0';
        return false;
    }
    size_t folderLength = strlen(detailDir);
    memcpy(detailPath, detailDir, folderLength);
    strcpy(detailPath + folderLength, detailName);
    return true;
}

void FormatStamp(TimeValue time, char stamp[STAMP_SIZE])
{
    struct tm local;
    ConvertToLocalTime(time, &local);
    if (settings.AltFileNaming == 0) {
        snprintf(stamp, STAMP_SIZE, "%02d%02d%02d %02d%02d%02d", local.tm_year - 100, local.tm_mon + 1,
                 local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    } else {
        snprintf(stamp, STAMP_SIZE, "%02d%s%02d-%02d%02d%02d", local.tm_year - 100,
                 MonthAbbrev(local.tm_mon), local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    }
}
