#include "standin/simulator/timeline.h"

#include "standin/simulator/scenario_time.h"

#include <stdarg.h>

namespace {

const int TIME_COLUMNS = 24;  // "2025-03-29 20:03:00 CEST"
const int KIND_COLUMNS = 6;

void PrintToAll(Timeline* timeline, const char* format, ...)
{
    for (int i = 0; i < timeline->outputCount; ++i) {
        va_list arguments;
        va_start(arguments, format);
        vfprintf(timeline->outputs[i], format, arguments);
        va_end(arguments);
    }
}

} // namespace

void StartTimeline(Timeline* timeline, const Scenario& scenario, bool quiet, FILE* file)
{
    *timeline = Timeline();
    timeline->quiet = quiet;
    if (!quiet)
        timeline->outputs[timeline->outputCount++] = stdout;
    if (file != nullptr)
        timeline->outputs[timeline->outputCount++] = file;
    for (const ScenarioChannel& channel : scenario.channels)
        if ((int)channel.name.size() > timeline->subjectWidth)
            timeline->subjectWidth = (int)channel.name.size();
}

void PrintTimelineLine(Timeline* timeline, uint32_t time, const char* kind, const std::string& subject,
                       const std::string& detail)
{
    PrintToAll(timeline, "%-*s  %-*s  %-*s  %s\n", TIME_COLUMNS, FormatScenarioTime(time).c_str(), KIND_COLUMNS, kind,
               timeline->subjectWidth, subject.c_str(), detail.c_str());
}

void PrintDetailStep(Timeline* timeline, uint32_t time, const std::string& channel, const FolderChanges& changes)
{
    TimelineCounts& counts = timeline->counts;
    ++counts.steps;
    for (const std::string& name : changes.removed) {
        ++counts.superseded;
        PrintTimelineLine(timeline, time, "step", channel, "superseded " + name);
    }
    for (const std::string& name : changes.added) {
        ++counts.written;
        PrintTimelineLine(timeline, time, "step", channel, "wrote " + name);
    }
    for (const std::string& name : changes.rewritten) {
        ++counts.rewritten;
        PrintTimelineLine(timeline, time, "step", channel, "rewrote " + name);
    }
    if (changes.removed.empty() && changes.added.empty() && changes.rewritten.empty())
        PrintTimelineLine(timeline, time, "step", channel, "no file changed");
}

void PrintTimelineSummary(Timeline* timeline, int filesAtEnd)
{
    const TimelineCounts& counts = timeline->counts;
    timeline->counts.files = filesAtEnd;
    if (timeline->quiet)
        timeline->outputs[timeline->outputCount++] = stdout;
    PrintToAll(timeline,
               "Summary: %d channel change%s, %d setup change%s, %d detail step%s: %d file%s written, %d rewritten, "
               "%d superseded; %d file%s in the detail folder.\n",
               counts.tunes, counts.tunes == 1 ? "" : "s", counts.setups, counts.setups == 1 ? "" : "s", counts.steps,
               counts.steps == 1 ? "" : "s", counts.written, counts.written == 1 ? "" : "s", counts.rewritten,
               counts.superseded, filesAtEnd, filesAtEnd == 1 ? "" : "s");
}
