// The plug-in's lasting state: four process-wide records that live from load to unload.
// Every text is a fixed, NUL-terminated single-byte buffer; its size constant counts the terminator.
#pragma once

#include "platform/win32.h"

#include <stdint.h>

// Seconds since 1970-01-01 00:00 UTC in 32 bits. Each comparison says whether it is signed.
typedef uint32_t TimeValue;

const int FOLDER_SIZE = 512;          // FileName, AltDetPath, every path and file name
const int NAMING_SIZE = 256;          // RecFileNaming
const int SUFFIX_SIZE = 64;           // RecFileNameSuffix, DetFileNameSuffix
const int FREE_TEXT_SIZE = 256;       // DVBDevice_Name, Comment
const int CHANNEL_NAME_SIZE = 64;
const int EVENT_NAME_SIZE = 256;
const int SHORT_TEXT_SIZE = 256;
const int LONG_TEXT_SIZE = 512;
const int CORE_VERSION_SIZE = 100;

// Each field bears the name of its key in Settings.ini.
struct Settings {
    char FileName[FOLDER_SIZE];       // the host's recording folder
    char RecFileNaming[NAMING_SIZE];  // the host's naming setting; only carried
    int Enable;                       // 0 or 1
    int Delay;                        // seconds, 0 to 65535
    int AltFileNaming;                // 0 or 1
    char AltDetPath[FOLDER_SIZE];     // detail folder instead of FileName; empty: none
    char RecFileNameSuffix[SUFFIX_SIZE];
    char DetFileNameSuffix[SUFFIX_SIZE];
    char DVBDevice_Name[FREE_TEXT_SIZE];
    char Comment[FREE_TEXT_SIZE];
};

// One channel and the EPG event on it; only ever copied whole.
struct EventRecord {
    uint32_t nidsid;                  // network id << 16 | service id: the key of the EPG query
    uint32_t eid;                     // 0 when no event is known
    uint32_t language;
    TimeValue start;
    TimeValue end;                    // 0 when no event is known
    char channelName[CHANNEL_NAME_SIZE];
    char eventName[EVENT_NAME_SIZE];
    char shortText[SHORT_TEXT_SIZE];
    char longText[LONG_TEXT_SIZE];
};

struct CaptureState {
    int running;                      // 1 while a worker started by StartCapture exists
    HANDLE workerThread;
    HANDLE stopEvent;                 // manual reset; signalled to end the worker
    HANDLE delayTimer;                // auto-reset; fires when the next detail file is due
    int armedDelay;                   // Delay when the timer was last armed
    uint8_t changePending;            // 1: the next detail opens a new stretch
    TimeValue lastDetailStart;
    TimeValue changeTime;
    char lastDetailPath[FOLDER_SIZE];
    char coreVersionText[CORE_VERSION_SIZE];
    EventRecord liveEvent;            // the channel taken at the last channel change
    EventRecord snapshot;             // what one detail file describes

    // Serialisation between the host thread and the worker (see capture/capture_lock.h).
    uint32_t flagSerial;              // counts channel changes: a step never overwrites a newer flag
    uint32_t armSerial;               // counts channel-change armings: a step never re-arms over one
    uint32_t workerGeneration;        // counts stops: a worker of an older generation is late
};

struct PluginContext {
    uint32_t filterHandle;            // what DVBAddFilter returned, for DVBDelFilter
    HWND hostWindow;
    HWND setupDialog;                 // the open setup dialog; 0 when none
    HMODULE moduleHandle;             // the plug-in's own module: holds the dialog template
    char settingsPath[FOLDER_SIZE];   // Settings.ini beside DVBCore.dll
};

extern Settings settings;
extern CaptureState captureState;
extern PluginContext pluginContext;

// Puts every record back to its state at load; for tests and the simulator, which run many
// plug-in lifetimes in one process.
void ResetRecords(void);
