// The detail file: its text, composed line by line from one table, and its writing.
#pragma once

#include "capture/records.h"

const int DETAIL_TEXT_SIZE = 10000;

extern const char* const VERSION_STAMP;
extern const char* const HOMEPAGE_TEXT;

// Composes the whole detail text for captureState.snapshot (already cleaned) into detailText and
// gives its length in bytes.
int ComposeDetailText(TimeValue now, uint32_t nextDelay, const char* detailName, const char* recordingName,
                      const char* detailDir, char detailText[DETAIL_TEXT_SIZE]);

// Records the path (empty when the path could not be formed) and start in captureState, then
// creates the file and writes the text. True only when the whole text was written.
bool WriteDetailFile(const char* detailPath, const char* detailText, int length);
