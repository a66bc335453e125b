#include "platform/posix/platform_control.h"

#include <atomic>

namespace {
std::atomic<int> pendingFailures[FAULT_COUNT];
}

void SetFault(PlatformFault fault, int count)
{
    pendingFailures[fault] = count;
}

void ClearFaults(void)
{
    for (auto& pending : pendingFailures)
        pending = 0;
}

bool TakeFault(PlatformFault fault)
{
    int pending = pendingFailures[fault].load();
    while (pending > 0) {
        if (pendingFailures[fault].compare_exchange_weak(pending, pending - 1))
            return true;
    }
    return false;
}
