// Any EPG answer, any result code, through a whole detail step: the record's fields and texts as
// raw bytes, with the step's state (flag, last detail, delays, settings) and the platform's faults
// taken from the input too. A second step, when asked for, runs when the timer falls due.
#include "capture/detail_step.h"
#include "fuzz/fuzz_support.h"
#include "platform/posix/platform_control.h"
#include "standin/core.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

namespace {

enum CaseFlag {
    CHANGE_PENDING = 0x01,
    ALT_FILE_NAMING = 0x02,
    PLACEHOLDER_FILE = 0x04,     // the last detail is a file in the scratch folder
    FAIL_CREATE = 0x08,
    FAIL_WRITE = 0x10,
    FAIL_DELETE = 0x20,
    FAIL_ARMING = 0x40,
    SECOND_STEP = 0x80,
};

StandinEvent answer;

bool AnswerFromInput(DWORD, StandinEvent* event)
{
    *event = answer;
    return true;
}

void CheckStep(bool written, uint8_t flags)
{
    const EventRecord& snapshot = captureState.snapshot;
    Require(IsTerminated(captureState.lastDetailPath, sizeof captureState.lastDetailPath), "lastDetailPath terminated");
    Require(IsTerminated(snapshot.channelName, sizeof snapshot.channelName), "channelName terminated");
    Require(IsTerminated(snapshot.eventName, sizeof snapshot.eventName), "eventName terminated");
    Require(IsTerminated(snapshot.shortText, sizeof snapshot.shortText), "shortText terminated");
    Require(IsTerminated(snapshot.longText, sizeof snapshot.longText), "longText terminated");
    Require(captureState.changePending <= 1, "changePending is 0 or 1");
    if (written) {
        Require((flags & (FAIL_CREATE | FAIL_WRITE)) == 0, "a faulted file counts as written");
        char path[FOLDER_SIZE];
        for (size_t i = 0; i < sizeof path; ++i)
            path[i] = captureState.lastDetailPath[i] == '\\' ? '/' : captureState.lastDetailPath[i];
        Require(strncmp(path, ScratchFolder(), strlen(ScratchFolder())) == 0, "the detail file is in the scratch folder");
        FILE* file = fopen(path, "rb");
        Require(file != nullptr, "the written detail file exists");
        char tail[4] = {};
        Require(fseek(file, -4, SEEK_END) == 0 && fread(tail, 1, 4, file) == 4, "the detail file has an end");
        fclose(file);
        Require(memcmp(tail, "\r\n\r\n", 4) == 0, "the detail file ends with two empty lines");
    }
    if ((flags & FAIL_ARMING) == 0) {
        bool armed = false, signalled = false;
        int64_t due = 0;
        Require(GetTimerState(CaseTimer(), &armed, &signalled, &due), "the timer is there");
        Require(armed && due > ClockNow100ns(), "the next detail is armed ahead");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input = StartInput(data, size);
    uint8_t flags = TakeU8(input);
    uint32_t now = TakeU32(input);
    StartCase(now);

    captureState.lastDetailStart = TakeU32(input);
    captureState.armedDelay = TakeU16(input);
    captureState.changePending = (flags & CHANGE_PENDING) != 0;
    settings.Delay = TakeU16(input);
    settings.AltFileNaming = (flags & ALT_FILE_NAMING) != 0;
    EventRecord& live = captureState.liveEvent;
    live.nidsid = TakeU32(input);
    TakeBytes(input, (uint8_t*)live.channelName, CHANNEL_NAME_SIZE - 1); // a channel change terminates it

    answer = StandinEvent{};
    answer.result = TakeU32(input);
    answer.start = TakeU32(input);
    answer.duration = TakeU32(input);
    answer.eid = TakeU32(input);
    answer.hasText = TakeU32(input);
    answer.language = TakeU32(input);
    TakeBytes(input, answer.eventName, sizeof answer.eventName);
    TakeBytes(input, answer.shortText, sizeof answer.shortText);
    TakeBytes(input, answer.longText, sizeof answer.longText);
    StandinSetEpgProvider(AnswerFromInput);

    TakeText(input, settings.DVBDevice_Name, sizeof settings.DVBDevice_Name);
    TakeText(input, settings.Comment, sizeof settings.Comment);
    TakeText(input, settings.RecFileNameSuffix, sizeof settings.RecFileNameSuffix);
    TakeText(input, settings.DetFileNameSuffix, sizeof settings.DetFileNameSuffix);
    ConfineToScratchFolder(settings);

    if (flags & PLACEHOLDER_FILE) {
        snprintf(captureState.lastDetailPath, FOLDER_SIZE, "%splaceholder.txt", ScratchFolderWindows());
        char path[FOLDER_SIZE];
        snprintf(path, sizeof path, "%splaceholder.txt", ScratchFolder());
        if (FILE* file = fopen(path, "wb"))
            fclose(file);
    }
    SetFault(FAULT_CREATE_FILE, (flags & FAIL_CREATE) != 0);
    SetFault(FAULT_SHORT_WRITE, (flags & FAIL_WRITE) != 0);
    SetFault(FAULT_DELETE_FILE, (flags & FAIL_DELETE) != 0);
    SetFault(FAULT_SET_TIMER, (flags & FAIL_ARMING) != 0);

    CheckStep(WriteDetail(captureState.workerGeneration, CaseTimer()), flags);

    if ((flags & SECOND_STEP) && (flags & FAIL_ARMING) == 0) {
        // The schedule goes on: the timer falls due exactly when it was armed for.
        bool armed = false, signalled = false;
        int64_t due = 0;
        GetTimerState(CaseTimer(), &armed, &signalled, &due);
        AdvanceManualClock(due - ClockNow100ns() - 1);
        Require(WaitForSingleObject(CaseTimer(), 0) == WAIT_TIMEOUT, "the timer waits for its due time");
        AdvanceManualClock(1);
        Require(WaitForSingleObject(CaseTimer(), 0) == WAIT_OBJECT_0, "the timer fires at its due time");
        CheckStep(WriteDetail(captureState.workerGeneration, CaseTimer()), flags & ~(FAIL_CREATE | FAIL_WRITE));
    }
    ClearFaults();
    return 0;
}
