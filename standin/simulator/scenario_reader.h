// Reading a scenario: the whole file and the XMLTV guide it names, checked before anything is played.
#pragma once

#include "standin/simulator/scenario.h"

// True with the scenario filled; false with one message that names the file and line of the first
// problem ("default.scenario:12: unknown key \"dealy\" in [settings]"). On false the scenario is
// not to be played: nothing of it has been used.
bool ReadScenario(const std::string& path, Scenario* scenario, std::string* message);

// The same from text in memory, with `name` standing for the file in messages; a guide is read from
// the folder of `name`.
bool ReadScenarioText(const std::string& name, const std::string& text, Scenario* scenario, std::string* message);

// Splits text into lines at LF, CR LF or a bare CR.
void SplitLines(const std::string& text, std::vector<std::string>* lines);
