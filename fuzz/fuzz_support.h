// What every fuzz target shares: reading fields out of the fuzzer's bytes, a fresh plug-in on the
// manual clock, and a scratch folder that holds every file the plug-in is let write.
#pragma once

#include "capture/records.h"

#include <stddef.h>
#include <stdint.h>

// The fuzzer's bytes, taken from the front. Past the end every field reads as zero bytes, so any
// input, even an empty one, is a whole case.
struct FuzzInput {
    const uint8_t* data;
    size_t size;
    size_t used;
};

FuzzInput StartInput(const uint8_t* data, size_t size);
uint8_t TakeU8(FuzzInput& input);
uint16_t TakeU16(FuzzInput& input);
uint32_t TakeU32(FuzzInput& input);
// Copies up to `count` bytes into `bytes` (zeros past the end of the input); gives how many came
// from the input.
size_t TakeBytes(FuzzInput& input, uint8_t* bytes, size_t count);
// A text of at most size - 1 bytes: up to the next NUL of the input or its end, terminated.
void TakeText(FuzzInput& input, char* text, size_t size);

// The scratch folder, made once per process: POSIX and Windows spellings, both ending in a separator.
const char* ScratchFolder(void);
const char* ScratchFolderWindows(void);
// Removes every file the last case left in the scratch folder.
void EmptyScratchFolder(void);

// Fresh records, a fresh stand-in core, no faults, the manual clock at `now`, settings as a fresh
// Settings.ini gives them with the scratch folder as the recording folder, and a delay timer of its
// own that OnChannelChange and WriteDetail arm. The capture counts as running on that timer.
void StartCase(uint32_t now);
HANDLE CaseTimer(void);

// The folders and the detail suffix, as a case's input set them, moved into the scratch folder:
// separators and dots become underscores behind the scratch folder's own path, so that no input
// names a file elsewhere, while the lengths (and a final backslash) stay what the input made them.
void ConfineToScratchFolder(Settings& record);

// Stops the fuzzer with a crash when an expectation about the plug-in's state does not hold.
void Require(bool condition, const char* what);
// True when a text field holds its terminator within its capacity.
bool IsTerminated(const char* text, size_t size);
