// The run as it happens: one line for each channel change, setup change and detail step, and a
// summary at the end, on the terminal and optionally in a file.
#pragma once

#include "standin/simulator/detail_folder.h"
#include "standin/simulator/scenario.h"

#include <stdint.h>
#include <stdio.h>

struct TimelineCounts {
    int tunes;
    int setups;
    int steps;
    int written;      // new files
    int rewritten;    // a file written again under the same name
    int superseded;   // a placeholder deleted for the event that covers it
    int files;        // in the detail folder at the end
};

const int TIMELINE_OUTPUTS = 2;

struct Timeline {
    FILE* outputs[TIMELINE_OUTPUTS];
    int outputCount;
    bool quiet;       // the terminal gets the summary alone
    int subjectWidth; // the longest channel name, so that the columns line up
    TimelineCounts counts;
};

void StartTimeline(Timeline* timeline, const Scenario& scenario, bool quiet, FILE* file);
// "2025-03-29 20:03:00 CET   step   Alpha TV  wrote 250329_200000 Alpha TV News.txt"
void PrintTimelineLine(Timeline* timeline, uint32_t time, const char* kind, const std::string& subject,
                       const std::string& detail);
// One detail step: its changes to the detail folder, the deletion first, as the step made them.
void PrintDetailStep(Timeline* timeline, uint32_t time, const std::string& channel, const FolderChanges& changes);
void PrintTimelineSummary(Timeline* timeline, int filesAtEnd);
