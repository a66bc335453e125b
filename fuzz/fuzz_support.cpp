#include "fuzz/fuzz_support.h"

#include "platform/posix/platform_control.h"
#include "standin/core.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

namespace {

const int SCRATCH_PATH_SIZE = 128;

char scratchFolder[SCRATCH_PATH_SIZE];
char scratchFolderWindows[SCRATCH_PATH_SIZE];
HANDLE caseTimer;

// One scratch folder per process, in one fixed time zone, so that a case gives the same names on
// every machine and every run.
void PrepareProcess(void)
{
    if (scratchFolder[0] != '\0')
        return;
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    const char* temporary = getenv("TMPDIR");
    snprintf(scratchFolder, sizeof scratchFolder, "%s/quorvane-fuzz-XXXXXX",
             temporary != nullptr && temporary[0] != '\0' ? temporary : "/tmp");
    Require(mkdtemp(scratchFolder) != nullptr, "a scratch folder");
    strcat(scratchFolder, "/");
    for (size_t i = 0; i <= strlen(scratchFolder); ++i)
        scratchFolderWindows[i] = scratchFolder[i] == '/' ? '\\' : scratchFolder[i];
    caseTimer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    Require(caseTimer != nullptr, "a delay timer");
}

// The input's folder text behind the scratch folder, as part of a file name there: no separator and
// no dot of the input can lead anywhere else.
void ConfineText(char* text, size_t size, bool emptyStays)
{
    if (text[0] == '\0' && emptyStays)
        return;
    char confined[FOLDER_SIZE];
    size_t length = strlen(text);
    if (length > 0 && text[length - 1] == '\\')
        length--; // the name is glued to what the input named, in the scratch folder itself
    snprintf(confined, sizeof confined, "%s%.*s", scratchFolderWindows, (int)length, text);
    for (size_t i = strlen(scratchFolderWindows); confined[i] != '\0'; ++i) {
        if (confined[i] == '\\' || confined[i] == '/' || confined[i] == '.')
            confined[i] = '_';
    }
    snprintf(text, size, "%s", confined);
}

} // namespace

FuzzInput StartInput(const uint8_t* data, size_t size)
{
    return FuzzInput{data, size, 0};
}

size_t TakeBytes(FuzzInput& input, uint8_t* bytes, size_t count)
{
    size_t left = input.size - input.used;
    size_t taken = count < left ? count : left;
    if (taken > 0)
        memcpy(bytes, input.data + input.used, taken);
    memset(bytes + taken, 0, count - taken);
    input.used += taken;
    return taken;
}

uint8_t TakeU8(FuzzInput& input)
{
    uint8_t value;
    TakeBytes(input, &value, 1);
    return value;
}

uint16_t TakeU16(FuzzInput& input)
{
    uint8_t bytes[2];
    TakeBytes(input, bytes, 2);
    return (uint16_t)(bytes[0] | bytes[1] << 8);
}

uint32_t TakeU32(FuzzInput& input)
{
    uint8_t bytes[4];
    TakeBytes(input, bytes, 4);
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

void TakeText(FuzzInput& input, char* text, size_t size)
{
    size_t length = 0;
    while (input.used < input.size && input.data[input.used] != 0 && length + 1 < size)
        text[length++] = (char)input.data[input.used++];
    if (input.used < input.size && input.data[input.used] == 0)
        input.used++;
    text[length] = '\0';
}

const char* ScratchFolder(void)
{
    PrepareProcess();
    return scratchFolder;
}

const char* ScratchFolderWindows(void)
{
    PrepareProcess();
    return scratchFolderWindows;
}

void EmptyScratchFolder(void)
{
    DIR* directory = opendir(ScratchFolder());
    if (directory == nullptr)
        return;
    char path[SCRATCH_PATH_SIZE + 256];
    while (dirent* entry = readdir(directory)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        snprintf(path, sizeof path, "%s%s", scratchFolder, entry->d_name);
        unlink(path);
    }
    closedir(directory);
}

void StartCase(uint32_t now)
{
    PrepareProcess();
    EmptyScratchFolder();
    ResetRecords();
    StandinReset();
    ClearFaults();
    UseManualClock(now);
    CancelWaitableTimer(caseTimer);
    snprintf(settings.FileName, sizeof settings.FileName, "%s", scratchFolderWindows);
    settings.Enable = 1;
    settings.Delay = 180;
    strcpy(settings.RecFileNameSuffix, ".mpg");
    strcpy(settings.DetFileNameSuffix, ".txt");
    strcpy(captureState.coreVersionText, "Stand-in core 1.0");
    captureState.running = 1;
    captureState.delayTimer = caseTimer;
}

HANDLE CaseTimer(void)
{
    return caseTimer;
}

void ConfineToScratchFolder(Settings& record)
{
    PrepareProcess();
    ConfineText(record.FileName, sizeof record.FileName, false);
    ConfineText(record.AltDetPath, sizeof record.AltDetPath, true);
    for (char* c = record.DetFileNameSuffix; *c != '\0'; ++c) {
        if (*c == '\\' || *c == '/')
            *c = '_';
    }
}

void Require(bool condition, const char* what)
{
    if (condition)
        return;
    fprintf(stderr, "fuzz expectation failed: %s\n", what);
    abort();
}

bool IsTerminated(const char* text, size_t size)
{
    return memchr(text, '\0', size) != nullptr;
}
