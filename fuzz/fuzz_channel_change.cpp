// Any parameter block through a channel change and the detail step that follows it: the current
// channel's index (beyond the table and "none" included), its service id, its name bytes with or
// without a terminator, the network id and the result of DVBParams.
#include "capture/channel_change.h"
#include "capture/detail_step.h"
#include "fuzz/fuzz_support.h"
#include "platform/posix/platform_control.h"
#include "standin/core.h"

#include <string.h>

namespace {

enum CaseFlag {
    CHANGE_PENDING = 0x01,       // the flag before the change; a change always sets it
    SECOND_CHANNEL = 0x02,       // a second entry of the table is filled as well
    FAIL_ARMING = 0x04,
};

const int ENTRY_NAME_ROOM = CHANNEL_ENTRY_SIZE - ENTRY_NAME;

void FillEntry(FuzzInput& input, int index)
{
    uint16_t serviceId = TakeU16(input);
    uint8_t nameLength = TakeU8(input);
    uint8_t name[ENTRY_NAME_ROOM];
    TakeBytes(input, name, nameLength);
    StandinSetChannel(index, serviceId, "");
    StandinSetChannelNameBytes(index, name, nameLength); // no terminator unless the input has one
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input = StartInput(data, size);
    uint8_t flags = TakeU8(input);
    StartCase(TakeU32(input));
    settings.Delay = TakeU16(input);
    captureState.changePending = (flags & CHANGE_PENDING) != 0;
    uint16_t current = TakeU16(input);
    StandinSetCurrentChannel(current);
    StandinSetNetworkId(TakeU16(input));
    DWORD paramsResult = TakeU8(input) < 0xC0 ? 0 : TakeU32(input); // mostly a filled block
    StandinSetParamsResult(paramsResult);
    // The entry at the current index, or at the index it names modulo the table when it lies beyond.
    FillEntry(input, current % CHANNEL_TABLE_ENTRIES);
    if (flags & SECOND_CHANNEL)
        FillEntry(input, TakeU8(input) % CHANNEL_TABLE_ENTRIES);
    // The live record before the change: what a change that reads nothing must leave.
    TakeBytes(input, (uint8_t*)&captureState.liveEvent, sizeof captureState.liveEvent);
    captureState.liveEvent.channelName[0] = '\0'; // the texts of a live record are always terminated
    captureState.liveEvent.eventName[0] = '\0';
    captureState.liveEvent.shortText[0] = '\0';
    captureState.liveEvent.longText[0] = '\0';
    const EventRecord before = captureState.liveEvent;
    SetFault(FAULT_SET_TIMER, (flags & FAIL_ARMING) != 0);

    OnChannelChange();

    const EventRecord& live = captureState.liveEvent;
    Require(captureState.changePending == 1, "a change sets the flag");
    Require(captureState.changeTime == ReadClock(), "a change stamps its time");
    bool taken = paramsResult == 0 && current < CHANNEL_TABLE_ENTRIES;
    if (!taken) {
        Require(memcmp(&before, &live, sizeof live) == 0, "a change that reads no channel leaves the live record");
    } else {
        Require(live.channelName[CHANNEL_NAME_SIZE - 1] == '\0', "the channel name is cut to 63 bytes");
        Require(live.eid == 0 && live.language == 0 && live.start == 0 && live.end == 0, "the event is emptied");
        Require(live.eventName[0] == '\0' && live.shortText[0] == '\0' && live.longText[0] == '\0',
                "the event texts are emptied");
        Require(captureState.armedDelay == settings.Delay, "the change's delay is recorded");
    }

    // The step that the timer would run: no EPG for the channel, so a placeholder detail follows.
    WriteDetail(captureState.workerGeneration, CaseTimer());
    Require(IsTerminated(captureState.lastDetailPath, sizeof captureState.lastDetailPath), "lastDetailPath terminated");
    Require(captureState.changePending == 0, "a detail without EPG data leaves the placeholder in force");
    Require(strcmp(captureState.snapshot.eventName, "(NO EPG DATA)") == 0, "the placeholder name");
    ClearFaults();
    return 0;
}
