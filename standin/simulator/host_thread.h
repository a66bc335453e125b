// The host's own thread: it calls the plug-in's entry points, delivers notifications and runs the
// setup dialog, as a host's window thread does. It is a platform thread, so that the manual clock
// knows when it is waiting, also inside the dialog's pause after an enable.
#pragma once

#include "standin/simulator/host_libraries.h"
#include "standin/simulator/scenario.h"

enum HostCommandKind { HOST_INIT, HOST_ACTION, HOST_CLOSE, HOST_QUIT };

bool StartHostThread(HostLibraries* libraries);
// Hands the host thread its next command; it must be free (IsHostBusy false).
void SendHostCommand(HostCommandKind kind, const ScenarioAction* action);
bool IsHostBusy(void);
// What the last command has to tell beyond its own line (a message box of the dialog); empty: nothing.
std::string TakeHostNote(void);
// Sends HOST_QUIT and waits for the thread to end.
void StopHostThread(void);
