// A scenario for the host simulator: the run's time span and zone, the host's Settings.ini, the
// channel table with each channel's EPG, and the viewer's actions in time order.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// Where a scenario item was written, so that every complaint about it can name its file and line.
struct SourceLine {
    int file;                          // index into Scenario::files
    int line;                          // 1-based
};

struct ScenarioEvent {
    SourceLine source;
    uint32_t start;                    // seconds since 1970-01-01 00:00 UTC
    uint32_t duration;
    bool hasEid;                       // false: the event's place in its channel's schedule
    uint32_t eid;
    uint32_t language;                 // up to three letters packed high to low; 0 when unknown
    std::string name;
    std::string shortText;
    std::string longText;
};

// A stretch in which the EPG answers every query with an error.
struct ScenarioOutage {
    SourceLine source;
    uint32_t start;
    uint32_t duration;
};

struct ScenarioChannel {
    SourceLine source;                 // its [channel NAME] header
    std::string name;
    uint16_t serviceId;
    SourceLine serviceSource;          // line 0: no service id given
    std::string guideId;               // the channel's id in the XMLTV guide; empty: none
    SourceLine guideSource;
    std::vector<ScenarioEvent> events; // in time order once the scenario is read
    std::vector<ScenarioOutage> outages;
};

enum ActionKind { ACTION_TUNE, ACTION_ENABLE, ACTION_DISABLE, ACTION_DELAY };

struct ScenarioAction {
    SourceLine source;
    uint32_t time;
    ActionKind kind;
    int channel;                       // ACTION_TUNE: index into Scenario::channels
    int delay;                         // ACTION_DELAY: the new Delay in seconds
};

struct ScenarioSetting {
    SourceLine source;
    std::string key;                   // one of the plug-in's ten keys
    std::string value;                 // written to Settings.ini as it stands
};

struct Scenario {
    std::vector<std::string> files;    // the scenario file, then the guide when there is one
    std::string zone;                  // a TZ value: local times are read and shown in it
    uint32_t begin;
    uint32_t end;
    uint16_t networkId;
    std::string guidePath;             // the XMLTV guide, as a path usable from here; empty: none
    std::vector<ScenarioSetting> settings;
    std::vector<ScenarioChannel> channels; // the host's channel table, in this order
    std::vector<ScenarioOutage> outages;   // outages of the whole EPG, every channel at once
    std::vector<ScenarioAction> actions;   // in time order
};

// "file:line: " for an item of the scenario.
std::string DescribeSource(const Scenario& scenario, SourceLine source);
int FindChannelByName(const Scenario& scenario, const std::string& name);
// "MyTheatre" or "Quorvane" for one of the plug-in's ten keys; null for any other key.
const char* SettingSection(const std::string& key);
std::string ListSettingKeys(void);
