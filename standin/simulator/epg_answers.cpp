#include "standin/simulator/epg_answers.h"

#include <string.h>

#include <algorithm>

namespace {

bool IsWithin(uint32_t now, uint32_t start, uint32_t duration)
{
    return now >= start && (uint64_t)now < (uint64_t)start + duration;
}

bool IsInOutage(const std::vector<ScenarioOutage>& outages, uint32_t now)
{
    for (const ScenarioOutage& outage : outages)
        if (IsWithin(now, outage.start, outage.duration))
            return true;
    return false;
}

// Cuts a text to its field in the core's record, keeping the terminator there.
void CopyText(uint8_t* field, int fieldSize, const std::string& text)
{
    memset(field, 0, (size_t)fieldSize);
    memcpy(field, text.data(), std::min(text.size(), (size_t)fieldSize - 1));
}

} // namespace

void AnswerEpgQuery(const Scenario& scenario, uint32_t key, uint32_t now, int64_t shift, StandinEvent* event)
{
    *event = StandinEvent();
    event->result = EPG_NO_EVENT;
    const ScenarioChannel* channel = nullptr;
    for (const ScenarioChannel& candidate : scenario.channels)
        if (((uint32_t)scenario.networkId << 16 | candidate.serviceId) == key)
            channel = &candidate;
    if (channel == nullptr)
        return;
    if (IsInOutage(scenario.outages, now) || IsInOutage(channel->outages, now)) {
        event->result = EPG_OUTAGE;
        return;
    }
    // Events are in time order and do not overlap: the last one starting by now is the candidate.
    auto after = std::upper_bound(channel->events.begin(), channel->events.end(), now,
                                  [](uint32_t time, const ScenarioEvent& e) { return time < e.start; });
    if (after == channel->events.begin())
        return;
    const ScenarioEvent& found = *(after - 1);
    if (!IsWithin(now, found.start, found.duration))
        return;
    event->result = 0;
    event->start = (uint32_t)(found.start + shift);
    event->duration = found.duration;
    event->eid = found.eid;
    event->hasText = 1;
    event->language = found.language;
    CopyText(event->eventName, sizeof event->eventName, found.name);
    CopyText(event->shortText, sizeof event->shortText, found.shortText);
    CopyText(event->longText, sizeof event->longText, found.longText);
}
