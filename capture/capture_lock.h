// One small lock between the host thread and the worker. It serialises the channel-change capture,
// the detail step's copy of the live record and its work after the EPG query, and the setup
// dialog's writes to the settings. It is never held while waiting on the timer, while a message box
// is open, or across a host core call that may block.
#pragma once

void LockCapture(void);
void UnlockCapture(void);
