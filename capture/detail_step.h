// The detail step: freeze the live record, ask the EPG, resolve start and name, supersede a
// placeholder file, write the detail file and arm the timer for the next one.
#pragma once

#include "capture/records.h"

extern const char* const PLACEHOLDER_NAME;

// Seconds from an arming to the detail it schedules, as the timer takes them: relative, in 100 ns.
LONGLONG RelativeDueTime(uint32_t seconds);

// One step for the worker of the given generation, re-arming that worker's own timer. A worker
// that was stopped meanwhile (a late worker) leaves everything as it is. True when the detail file
// was written whole.
bool WriteDetail(uint32_t workerGeneration, HANDLE workerTimer);
