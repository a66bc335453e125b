#include "standin/core.h"

#include <atomic>
#include <string.h>

namespace {

struct StandinService {
    bool used;
    uint32_t key;
    StandinEvent event;
};

struct StandinState {
    uint8_t paramBlock[CORE_PARAM_BLOCK_SIZE];
    DWORD paramsResult;
    bool writesVersion;
    char version[STANDIN_VERSION_SIZE];
    DWORD filterResult;
    HostEventProc callback;
    StandinService services[STANDIN_MAX_SERVICES];
    StandinEpgHook epgHook;
    StandinEpgProvider epgProvider;
    StandinDelFilterHook delFilterHook;
    StandinCalls calls;
};

StandinState core;
std::atomic<int> epgCalls; // the worker asks while a test reads the counts

StandinService* FindService(uint32_t key, bool add)
{
    for (StandinService& service : core.services)
        if (service.used && service.key == key)
            return &service;
    if (!add)
        return nullptr;
    for (StandinService& service : core.services) {
        if (!service.used) {
            service.used = true;
            service.key = key;
            return &service;
        }
    }
    return nullptr;
}

void FillEventResult(uint8_t* record, const StandinEvent& event)
{
    WriteU32(record, EPG_START, event.start);
    WriteU32(record, EPG_DURATION, event.duration);
    WriteU32(record, EPG_EID, event.eid);
    WriteU32(record, EPG_HAS_TEXT, event.hasText);
    if (event.hasText == 0)
        return;
    WriteU32(record, EPG_LANGUAGE, event.language);
    memcpy(record + EPG_EVENT_NAME, event.eventName, sizeof event.eventName);
    memcpy(record + EPG_SHORT_TEXT, event.shortText, sizeof event.shortText);
    memcpy(record + EPG_LONG_TEXT, event.longText, sizeof event.longText);
}

} // namespace

void StandinReset(void)
{
    memset(&core, 0, sizeof core);
    epgCalls = 0;
    WriteU16(core.paramBlock, PARAM_CURRENT_CHANNEL, NO_CURRENT_CHANNEL);
    core.writesVersion = true;
    strcpy(core.version, "Stand-in core 1.0");
    core.filterResult = 0x5EED;
}

void StandinSetChannel(int index, uint16_t serviceId, const char* name)
{
    StandinSetChannelNameBytes(index, (const uint8_t*)name, (int)strlen(name) + 1);
    WriteU16(core.paramBlock, PARAM_CHANNELS + CHANNEL_ENTRY_SIZE * index + ENTRY_SERVICE_ID, serviceId);
}

void StandinSetChannelNameBytes(int index, const uint8_t* bytes, int count)
{
    uint8_t* name = core.paramBlock + PARAM_CHANNELS + CHANNEL_ENTRY_SIZE * index + ENTRY_NAME;
    int room = CHANNEL_ENTRY_SIZE - ENTRY_NAME;
    memset(name, 0, room);
    memcpy(name, bytes, count < room ? count : room);
}

void StandinSetCurrentChannel(uint16_t index)
{
    WriteU16(core.paramBlock, PARAM_CURRENT_CHANNEL, index);
}

void StandinSetNetworkId(uint16_t networkId)
{
    WriteU16(core.paramBlock, PARAM_NETWORK_ID, networkId);
}

void StandinSetParamsResult(DWORD result) { core.paramsResult = result; }
void StandinSetFilterResult(DWORD filter) { core.filterResult = filter; }
void StandinSetEpgHook(StandinEpgHook hook) { core.epgHook = hook; }
void StandinSetEpgProvider(StandinEpgProvider provider) { core.epgProvider = provider; }
void StandinSetDelFilterHook(StandinDelFilterHook hook) { core.delFilterHook = hook; }

void StandinSetVersion(const char* version)
{
    core.writesVersion = version != nullptr;
    if (version != nullptr) {
        strncpy(core.version, version, STANDIN_VERSION_SIZE - 1);
        core.version[STANDIN_VERSION_SIZE - 1] = '\0';
    }
}

void StandinSetEpg(uint32_t key, const StandinEvent& event)
{
    StandinService* service = FindService(key, true);
    if (service != nullptr)
        service->event = event;
}

void StandinSetEpgText(uint8_t* field, int fieldSize, const char* text)
{
    memset(field, 0, fieldSize);
    size_t length = strlen(text);
    memcpy(field, text, length < (size_t)fieldSize ? length : (size_t)fieldSize);
}

StandinEvent StandinEventOf(uint32_t start, uint32_t duration, uint32_t eid, const char* name,
                            const char* shortText, const char* longText)
{
    StandinEvent event = {};
    event.start = start;
    event.duration = duration;
    event.eid = eid;
    event.hasText = 1;
    event.language = 0x646575; // "deu"
    StandinSetEpgText(event.eventName, sizeof event.eventName, name);
    StandinSetEpgText(event.shortText, sizeof event.shortText, shortText);
    StandinSetEpgText(event.longText, sizeof event.longText, longText);
    return event;
}

StandinCalls StandinCallCounts(void)
{
    StandinCalls calls = core.calls;
    calls.epg = epgCalls;
    return calls;
}

HostEventProc StandinRegisteredCallback(void) { return core.callback; }

bool StandinNotify(DWORD code)
{
    if (core.callback == nullptr)
        return false;
    core.callback(0, code, 0);
    return true;
}

extern "C" {

DWORD WINAPI DVBAddFilter(DWORD, HostEventProc callback, DWORD, DWORD, DWORD, DWORD)
{
    core.calls.addFilter++;
    core.callback = callback;
    return core.filterResult;
}

DWORD WINAPI DVBDelFilter(DWORD filter)
{
    core.calls.delFilter++;
    core.calls.lastDelFilterArgument = filter;
    if (core.delFilterHook != nullptr)
        core.delFilterHook(filter);
    core.callback = nullptr;
    return 1;
}

DWORD WINAPI DVBGetCoreVer(char* versionText)
{
    core.calls.getCoreVer++;
    if (core.writesVersion)
        memcpy(versionText, core.version, STANDIN_VERSION_SIZE);
    return 1;
}

DWORD WINAPI DVBParams(void* paramBlock, DWORD what)
{
    core.calls.params++;
    if (core.paramsResult != 0 || what != PARAMS_CHANNELS)
        return core.paramsResult != 0 ? core.paramsResult : 1;
    memcpy(paramBlock, core.paramBlock, CORE_PARAM_BLOCK_SIZE);
    return 0;
}

DWORD WINAPI DVBEPGProc(DWORD query, void* eventResult, DWORD* key, DWORD)
{
    epgCalls++;
    core.calls.lastEpgQuery = query;
    core.calls.lastEpgKey = *key;
    if (core.epgHook != nullptr)
        core.epgHook(*key);
    StandinEvent event;
    bool known = false;
    if (core.epgProvider != nullptr) {
        known = core.epgProvider(*key, &event);
    } else if (const StandinService* service = FindService(*key, false)) {
        event = service->event;
        known = true;
    }
    if (query != EPG_CURRENT_EVENT || !known)
        return 1;
    if (event.result == 0)
        FillEventResult((uint8_t*)eventResult, event);
    return event.result;
}

} // extern "C"
