// The stand-in core's EPG during a run: the scenario's schedule answered at the clock's time.
#pragma once

#include "standin/core.h"
#include "standin/simulator/scenario.h"

const DWORD EPG_NO_EVENT = 1;   // nothing on the air: a gap in the schedule
const DWORD EPG_OUTAGE = 2;     // the EPG answers with an error

// The answer to a query for `key` (network id << 16 | service id) at scenario time `now`. Times in
// the answer are moved by `shift` seconds, for a run on the real clock.
void AnswerEpgQuery(const Scenario& scenario, uint32_t key, uint32_t now, int64_t shift, StandinEvent* event);
