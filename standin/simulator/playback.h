// Playing a scenario: the host's side of a run, from DVBPLGInit to DVBPLGClose.
#pragma once

#include "standin/simulator/host_libraries.h"
#include "standin/simulator/scenario.h"
#include "standin/simulator/timeline.h"

struct PlaybackOptions {
    std::string detailFolder;   // POSIX path ending in "/": where the plug-in writes, as the settings say
    bool realTime;              // the real clock, with the scenario's begin at the moment the run starts
};

// Sets up the stand-in core from the scenario, runs the host thread and moves the clock from action
// to action, printing each action and detail step. False with a message when the plug-in's threads
// did not settle or the host thread could not start.
bool PlayScenario(const Scenario& scenario, HostLibraries* libraries, const PlaybackOptions& options,
                  Timeline* timeline, std::string* message);
