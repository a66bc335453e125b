#include "standin/simulator/playback.h"

#include "platform/posix/platform_control.h"
#include "standin/simulator/epg_answers.h"
#include "standin/simulator/host_thread.h"
#include "standin/simulator/scenario_time.h"

#include <time.h>

#include <atomic>

namespace {

const int64_t TICKS_PER_SECOND = 10000000;   // the platform clock counts 100 ns
const int SETTLE_TIMEOUT_MS = 10000;
const int REAL_TIME_POLL_MS = 50;
// On the real clock a step may still be writing when its query is seen; it takes far less than this.
const long REAL_TIME_STEP_NS = 20000000;

struct Playback {
    const Scenario* scenario;
    HostLibraries* libraries;
    const PlaybackOptions* options;
    Timeline* timeline;
    std::string* message;
    int64_t shift;                       // real time minus scenario time; 0 on the manual clock
    FolderContents folder;               // the detail folder as the last look found it
    uint32_t queriesSeen;
};

// Read on the worker thread by the core's EPG, hence globals.
const Scenario* answeredScenario;
std::atomic<int64_t> answerShift;
std::atomic<uint32_t> epgQueries;
std::atomic<uint32_t> lastQueryKey;

uint32_t ClockSeconds(void)
{
    return (uint32_t)(ClockNow100ns() / TICKS_PER_SECOND);
}

bool AnswerFromScenario(DWORD key, StandinEvent* event)
{
    int64_t shift = answerShift;
    AnswerEpgQuery(*answeredScenario, key, (uint32_t)(ClockSeconds() - shift), shift, event);
    lastQueryKey = key;
    ++epgQueries;
    return true;
}

std::string ChannelOfKey(const Scenario& scenario, uint32_t key)
{
    for (const ScenarioChannel& channel : scenario.channels)
        if (((uint32_t)scenario.networkId << 16 | channel.serviceId) == key)
            return channel.name;
    return "?";
}

// A detail step queries the EPG before it touches the folder, so a new query means a step to report.
void ReportDetailSteps(Playback& playback)
{
    uint32_t queries = epgQueries;
    if (queries == playback.queriesSeen)
        return;
    playback.queriesSeen = queries;
    if (playback.options->realTime) {
        struct timespec wait = {0, REAL_TIME_STEP_NS};
        nanosleep(&wait, nullptr);
    }
    FolderContents now;
    ReadFolderContents(playback.options->detailFolder, &now);
    FolderChanges changes;
    CompareFolderContents(playback.folder, now, &changes);
    playback.folder.swap(now);
    PrintDetailStep(playback.timeline, ClockSeconds(), ChannelOfKey(*playback.scenario, lastQueryKey), changes);
}

bool Fail(Playback& playback, const std::string& problem)
{
    *playback.message = FormatScenarioTime(ClockSeconds()) + ": " + problem;
    return false;
}

bool Settle(Playback& playback)
{
    if (playback.options->realTime)
        return true;
    return WaitUntilIdle(SETTLE_TIMEOUT_MS) || Fail(playback, "the plug-in's threads did not settle");
}

// Moves the manual clock to `target`, one due time at a time, reporting each detail step at the
// moment it ran. On the real clock, waits for that moment and reports steps as they come.
bool AdvanceTo(Playback& playback, int64_t target100ns)
{
    if (playback.options->realTime) {
        while (ClockNow100ns() < target100ns) {
            int64_t left = target100ns - ClockNow100ns();
            int64_t pause = left < REAL_TIME_POLL_MS * 10000LL ? left : REAL_TIME_POLL_MS * 10000LL;
            struct timespec wait = {(time_t)(pause / TICKS_PER_SECOND), (long)(pause % TICKS_PER_SECOND) * 100};
            nanosleep(&wait, nullptr);
            ReportDetailSteps(playback);
        }
        return true;
    }
    for (;;) {
        if (!Settle(playback))
            return false;
        ReportDetailSteps(playback);
        int64_t now = ClockNow100ns();
        int64_t next = NextDueTime100ns();
        if (next <= now || next > target100ns)
            break;
        if (!RunManualClockUntil(next))
            return Fail(playback, "the plug-in's threads did not settle");
    }
    if (!RunManualClockUntil(target100ns))
        return Fail(playback, "the plug-in's threads did not settle");
    ReportDetailSteps(playback);
    return true;
}

// Runs one host command to its end; the clock moves on meanwhile only when the host waits for it
// (the dialog's pause after an enable).
bool RunHostCommand(Playback& playback, HostCommandKind kind, const ScenarioAction* action)
{
    SendHostCommand(kind, action);
    for (;;) {
        if (!Settle(playback))
            return false;
        ReportDetailSteps(playback);
        if (!IsHostBusy())
            break;
        if (playback.options->realTime) {
            struct timespec wait = {0, REAL_TIME_POLL_MS * 1000000L};
            nanosleep(&wait, nullptr);
            continue;
        }
        int64_t next = NextDueTime100ns();
        if (next < 0)
            return Fail(playback, "the host thread waits for nothing that will come");
        if (!RunManualClockUntil(next))
            return Fail(playback, "the plug-in's threads did not settle");
    }
    std::string note = TakeHostNote();
    if (!note.empty())
        PrintTimelineLine(playback.timeline, ClockSeconds(), "note", "", note);
    return true;
}

std::string DescribeAction(const Scenario& scenario, const ScenarioAction& action, std::string* subject)
{
    switch (action.kind) {
    case ACTION_TUNE: *subject = scenario.channels[action.channel].name; return "channel change";
    case ACTION_ENABLE: return "Enable ticked, OK";
    case ACTION_DISABLE: return "Enable cleared, OK";
    case ACTION_DELAY: return "Delay " + std::to_string(action.delay) + ", OK";
    }
    return "";
}

bool PerformAction(Playback& playback, const ScenarioAction& action)
{
    const Scenario& scenario = *playback.scenario;
    std::string subject;
    std::string what = DescribeAction(scenario, action, &subject);
    bool tune = action.kind == ACTION_TUNE;
    ++(tune ? playback.timeline->counts.tunes : playback.timeline->counts.setups);
    PrintTimelineLine(playback.timeline, ClockSeconds(), tune ? "tune" : "setup", subject, what);
    return RunHostCommand(playback, HOST_ACTION, &action);
}

void PrepareCore(const Scenario& scenario, HostLibraries* libraries)
{
    libraries->reset();
    libraries->setNetworkId(scenario.networkId);
    for (size_t i = 0; i < scenario.channels.size(); ++i)
        libraries->setChannel((int)i, scenario.channels[i].serviceId, scenario.channels[i].name.c_str());
    libraries->setEpgProvider(AnswerFromScenario);
}

std::string ReadPluginName(HostLibraries* libraries)
{
    uint8_t info[64] = {};
    libraries->getInfo(info);
    info[sizeof info - 1] = 0;
    return std::string((const char*)info + 12);
}

} // namespace

bool PlayScenario(const Scenario& scenario, HostLibraries* libraries, const PlaybackOptions& options,
                  Timeline* timeline, std::string* message)
{
    Playback playback = {&scenario, libraries, &options, timeline, message, 0, {}, 0};
    if (options.realTime) {
        UseRealClock();
        playback.shift = (int64_t)(ClockNow100ns() / TICKS_PER_SECOND) - scenario.begin;
    } else {
        UseManualClock(scenario.begin);
    }
    answeredScenario = &scenario;
    answerShift = playback.shift;
    epgQueries = 0;
    PrepareCore(scenario, libraries);
    ReadFolderContents(options.detailFolder, &playback.folder);
    if (!StartHostThread(libraries)) {
        *message = "cannot start the host thread";
        return false;
    }

    PrintTimelineLine(timeline, ClockSeconds(), "start", ReadPluginName(libraries), "DVBPLGInit");
    bool played = RunHostCommand(playback, HOST_INIT, nullptr);
    for (size_t i = 0; played && i < scenario.actions.size(); ++i) {
        const ScenarioAction& action = scenario.actions[i];
        played = AdvanceTo(playback, ((int64_t)action.time + playback.shift) * TICKS_PER_SECOND) &&
                 PerformAction(playback, action);
    }
    played = played && AdvanceTo(playback, ((int64_t)scenario.end + playback.shift) * TICKS_PER_SECOND);
    if (played) {
        ReportDetailSteps(playback);
        PrintTimelineLine(timeline, ClockSeconds(), "close", "", "DVBPLGClose");
        played = RunHostCommand(playback, HOST_CLOSE, nullptr);
    }
    if (!played)
        return false; // the host thread may be stuck in the plug-in: the process ends without it
    StopHostThread();
    libraries->setEpgProvider(nullptr);
    return true;
}
