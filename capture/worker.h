// The capture worker: one thread that sleeps on the stop event and the delay timer and runs the
// detail step whenever the timer fires.
#pragma once

#include "platform/win32.h"

void StartCapture(void);
void StopCapture(void);
unsigned WINAPI CaptureWorker(void* generation);

const DWORD WORKER_WAIT_MS = 120000;     // a wake-up that does nothing, every two minutes
const DWORD FAILED_WAIT_PAUSE_MS = 5000;
const DWORD STOP_WAIT_MS = 5000;         // how long StopCapture waits for the worker's end
