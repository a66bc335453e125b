#include "capture/channel_change.h"

#include "capture/capture_lock.h"
#include "capture/detail_step.h"
#include "capture/records.h"
#include "host/core_records.h"
#include "host/dvbcore.h"

#include <string.h>

namespace {

// Filled by the host core on each change, on the host thread only; too large for the stack.
uint8_t paramBlock[CORE_PARAM_BLOCK_SIZE];

void TakeChannel(EventRecord& live, uint16_t current)
{
    const uint8_t* entry = paramBlock + PARAM_CHANNELS + CHANNEL_ENTRY_SIZE * current;
    live.nidsid = (uint32_t)ReadU16(paramBlock, PARAM_NETWORK_ID) << 16 | ReadU16(entry, ENTRY_SERVICE_ID);
    CopyCoreText(live.channelName, entry + ENTRY_NAME, CHANNEL_NAME_SIZE - 1);
    live.eid = 0;
    live.language = 0;
    live.start = 0;
    live.end = 0;
    live.eventName[0] = '\0';
    live.shortText[0] = '\0';
    live.longText[0] = '\0';
}

} // namespace

void OnChannelChange(void)
{
    if (captureState.running == 0 || captureState.delayTimer == nullptr)
        return;
    TimeValue now = ReadClock();
    // The core is asked before the lock is taken: a host call may block.
    bool filled = DVBParams(paramBlock, PARAMS_CHANNELS) == 0;
    uint16_t current = filled ? ReadU16(paramBlock, PARAM_CURRENT_CHANNEL) : NO_CURRENT_CHANNEL;

    LockCapture();
    captureState.changePending = 1;
    captureState.changeTime = now;
    captureState.flagSerial++;
    // An index beyond the table would read past it: such a channel counts as no current channel.
    if (current < CHANNEL_TABLE_ENTRIES) {
        TakeChannel(captureState.liveEvent, current);
        captureState.armedDelay = settings.Delay;
        captureState.armSerial++;
        LARGE_INTEGER due;
        due.QuadPart = RelativeDueTime((uint32_t)settings.Delay);
        SetWaitableTimer(captureState.delayTimer, &due, 0, nullptr, nullptr, FALSE);
    }
    UnlockCapture();
}
