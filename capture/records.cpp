#include "capture/records.h"

#include <string.h>

Settings settings;
CaptureState captureState = {.changePending = 1};
PluginContext pluginContext;

void ResetRecords(void)
{
    memset(&settings, 0, sizeof settings);
    memset(&captureState, 0, sizeof captureState);
    captureState.changePending = 1;
    memset(&pluginContext, 0, sizeof pluginContext);
}
