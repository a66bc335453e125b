#include "capture/detail_step.h"

#include "capture/capture_lock.h"
#include "capture/detail_file.h"
#include "capture/names.h"
#include "host/core_records.h"
#include "host/dvbcore.h"

#include <string.h>

const char* const PLACEHOLDER_NAME = "(NO EPG DATA)";

namespace {

// An event end that lies beyond the signed 32-bit range of seconds would turn the timer's due
// time positive, which the timer reads as an absolute time long past: it would fire at once, for
// ever. The next detail is then simply as far ahead as the timer can count.
const uint32_t LONGEST_DELAY = 0x7FFFFFFF;

// The bytes of the EPG record that a step reads. Only these are cleared before the query, so that
// a core that fills fewer fields leaves zeros rather than stack contents; the rest of the reserved
// record is the core's own.
const int EPG_BYTES_READ = EPG_LONG_TEXT + LONG_TEXT_SIZE - 1;

struct StepStart {
    TimeValue now;
    uint8_t changePending;
    int armedDelay;
    uint32_t flagSerial;
    uint32_t armSerial;
};

void FillFromEpg(EventRecord& snapshot, const uint8_t* record)
{
    snapshot.eid = ReadU32(record, EPG_EID);
    snapshot.start = ReadU32(record, EPG_START);
    snapshot.end = snapshot.start + ReadU32(record, EPG_DURATION); // wraps in 32 bits
    if (ReadU32(record, EPG_HAS_TEXT) == 0)
        return; // language and texts stay as the channel change left them
    snapshot.language = ReadU32(record, EPG_LANGUAGE);
    CopyCoreText(snapshot.eventName, record + EPG_EVENT_NAME, EVENT_NAME_SIZE - 1);
    CopyCoreText(snapshot.shortText, record + EPG_SHORT_TEXT, SHORT_TEXT_SIZE - 1);
    CopyCoreText(snapshot.longText, record + EPG_LONG_TEXT, LONG_TEXT_SIZE - 1);
}

void SetPlaceholderName(EventRecord& snapshot)
{
    memset(snapshot.eventName, 0, sizeof snapshot.eventName);
    strcpy(snapshot.eventName, PLACEHOLDER_NAME);
}

// Decides the start and name of the detail and gives the flag that follows it. With the flag at 1
// a detail without a current event is dated at the moment its wait began; with the flag at 0 the
// last detail carried the placeholder, whose start is reused, and whose file is superseded once a
// real event covers that start.
uint8_t ResolveStartAndName(bool queryOk, const StepStart& step)
{
    EventRecord& snapshot = captureState.snapshot;
    const TimeValue now = step.now;
    const TimeValue last = captureState.lastDetailStart;
    const bool ended = (int32_t)snapshot.end < (int32_t)now;
    uint8_t pending = step.changePending;

    if (!queryOk) {
        SetPlaceholderName(snapshot);
        if (pending == 1) {
            pending = 0;
            snapshot.start = now - (TimeValue)step.armedDelay;
        } else {
            snapshot.start = (int32_t)last > 0 ? last : now;
        }
        return pending;
    }
    if (pending == 1) {
        if (snapshot.start == 0 || ended)
            snapshot.start = now - (TimeValue)step.armedDelay;
        if (ended) {
            SetPlaceholderName(snapshot);
            pending = 0;
        }
        return pending;
    }
    if (snapshot.start != 0)
        pending = 1;
    if (!ended && snapshot.start <= last && last < snapshot.end && captureState.lastDetailPath[0] != '\0') {
        DeleteFileA(captureState.lastDetailPath); // the placeholder is superseded; a failure changes nothing
        captureState.lastDetailPath[0] = '\0';
    }
    if (snapshot.start == 0)
        snapshot.start = last;
    if (ended) {
        SetPlaceholderName(snapshot);
        pending = 0;
        snapshot.start = last;
    }
    return pending;
}

uint32_t NextDelay(TimeValue now, TimeValue end)
{
    uint32_t delay = (uint32_t)settings.Delay;
    uint64_t next = now > end ? delay : (uint64_t)(end - now) + delay;
    if (next < 1)
        next = 1; // a Delay of 0 from a hand-edited file would re-run the step without pause
    return next > LONGEST_DELAY ? LONGEST_DELAY : (uint32_t)next;
}

// Names, text and file of the resolved snapshot. The result is the file's.
bool WriteResolvedDetail(TimeValue now, uint32_t nextDelay)
{
    char detailDir[FOLDER_SIZE];
    char detailName[FOLDER_SIZE];
    char detailPath[FOLDER_SIZE];
    char recordingName[FOLDER_SIZE];
    char detailText[DETAIL_TEXT_SIZE];

    CleanSnapshotTexts();
    DetailDirectory(detailDir);
    BuildFileName(settings.DetFileNameSuffix, detailName);
    BuildDetailPath(detailDir, detailName, detailPath); // an unusable path stays empty
    BuildFileName(settings.RecFileNameSuffix, recordingName);
    int length = ComposeDetailText(now, nextDelay, detailName, recordingName, detailDir, detailText);
    return WriteDetailFile(detailPath, detailText, length);
}

} // namespace

LONGLONG RelativeDueTime(uint32_t seconds)
{
    return (LONGLONG)(int32_t)seconds * -10000000LL;
}

bool WriteDetail(uint32_t workerGeneration, HANDLE workerTimer)
{
    StepStart step;
    DWORD key;

    LockCapture();
    if (workerGeneration != captureState.workerGeneration) {
        UnlockCapture();
        return false;
    }
    step.now = ReadClock();
    captureState.snapshot = captureState.liveEvent; // one whole channel, never two mixed
    key = captureState.snapshot.nidsid;
    step.changePending = captureState.changePending;
    step.armedDelay = captureState.armedDelay;
    step.flagSerial = captureState.flagSerial;
    step.armSerial = captureState.armSerial;
    UnlockCapture();

    uint8_t eventResult[EPG_EVENT_RESULT_SIZE];
    memset(eventResult, 0, EPG_BYTES_READ);
    bool queryOk = DVBEPGProc(EPG_CURRENT_EVENT, eventResult, &key, 0) == 0;

    LockCapture();
    if (workerGeneration != captureState.workerGeneration) {
        UnlockCapture(); // stopped while the core answered: a newer worker owns the capture now
        return false;
    }
    if (queryOk)
        FillFromEpg(captureState.snapshot, eventResult);
    uint8_t pending = ResolveStartAndName(queryOk, step);
    uint32_t nextDelay = NextDelay(step.now, captureState.snapshot.end);
    bool written = WriteResolvedDetail(step.now, nextDelay);

    // A channel change during the query keeps its flag, its delay and its arming.
    if (step.flagSerial == captureState.flagSerial)
        captureState.changePending = pending;
    if (step.armSerial == captureState.armSerial) {
        captureState.armedDelay = settings.Delay;
        LARGE_INTEGER due;
        due.QuadPart = RelativeDueTime(nextDelay);
        SetWaitableTimer(workerTimer, &due, 0, nullptr, nullptr, FALSE);
    }
    UnlockCapture();
    return written;
}
