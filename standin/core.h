// A stand-in for the host core, DVBCore.dll, that tests, the host simulator and the Windows test
// host script: the channel table, the EPG answers, the version text, and a record of the calls.
#pragma once

#include "host/core_records.h"
#include "host/dvbcore.h"

#include <stdint.h>

const int STANDIN_MAX_CHANNELS = CHANNEL_TABLE_ENTRIES;
const int STANDIN_MAX_SERVICES = 64;
const int STANDIN_VERSION_SIZE = 100;

// One EPG answer: the result code and, for code 0, the event record's fields.
struct StandinEvent {
    DWORD result;                          // 0: an event; anything else: no EPG data
    uint32_t start;
    uint32_t duration;
    uint32_t eid;
    uint32_t hasText;
    uint32_t language;
    uint8_t eventName[EPG_TEXT_FIELD_SIZE]; // raw bytes: a test may leave out the terminator
    uint8_t shortText[EPG_TEXT_FIELD_SIZE];
    uint8_t longText[EPG_TEXT_FIELD_SIZE * 2];
};

struct StandinCalls {
    int addFilter;
    int delFilter;
    int getCoreVer;
    int params;
    int epg;
    DWORD lastDelFilterArgument;
    DWORD lastEpgKey;
    DWORD lastEpgQuery;
};

// Called inside DVBEPGProc before it answers; a test can block here to play a slow core.
typedef void (*StandinEpgHook)(DWORD key);
// Answers an EPG query instead of the table, for schedules that change with time.
typedef bool (*StandinEpgProvider)(DWORD key, StandinEvent* event);
// Called inside DVBDelFilter before the callback is dropped: a host sees what the plug-in has
// finished by the time it unregisters.
typedef void (*StandinDelFilterHook)(DWORD filter);

// Plain C names, so that a host that loads the core as a library (DVBCore.dll) can look them up.
extern "C" {

void StandinReset(void);
void StandinSetChannel(int index, uint16_t serviceId, const char* name);
void StandinSetChannelNameBytes(int index, const uint8_t* bytes, int count);
void StandinSetCurrentChannel(uint16_t index);
void StandinSetNetworkId(uint16_t networkId);
void StandinSetParamsResult(DWORD result);
void StandinSetVersion(const char* version);   // null: the core writes nothing
void StandinSetFilterResult(DWORD filter);
// The answer for a service key; replaces an earlier one for the same key.
void StandinSetEpg(uint32_t key, const StandinEvent& event);
void StandinSetEpgText(uint8_t* field, int fieldSize, const char* text);
void StandinSetEpgHook(StandinEpgHook hook);
void StandinSetEpgProvider(StandinEpgProvider provider);
StandinEvent StandinEventOf(uint32_t start, uint32_t duration, uint32_t eid, const char* name,
                            const char* shortText, const char* longText);

StandinCalls StandinCallCounts(void); // a copy: the worker may be counting meanwhile
HostEventProc StandinRegisteredCallback(void);
void StandinSetDelFilterHook(StandinDelFilterHook hook);
// Delivers a notification to the registered callback, as the host does; false when none is registered.
bool StandinNotify(DWORD code);

} // extern "C"
