// Any bytes as Settings.ini: loaded as the plug-in loads it at start-up, then a detail step with
// what was loaded, the folders and the detail suffix kept inside the scratch folder.
#include "capture/detail_step.h"
#include "fuzz/fuzz_support.h"
#include "settings/settings_file.h"
#include "standin/core.h"

#include <stdio.h>
#include <string.h>

namespace {

void CheckLoaded(void)
{
    Require(IsTerminated(settings.FileName, sizeof settings.FileName), "FileName terminated");
    Require(IsTerminated(settings.RecFileNaming, sizeof settings.RecFileNaming), "RecFileNaming terminated");
    Require(IsTerminated(settings.AltDetPath, sizeof settings.AltDetPath), "AltDetPath terminated");
    Require(IsTerminated(settings.RecFileNameSuffix, sizeof settings.RecFileNameSuffix), "RecFileNameSuffix terminated");
    Require(IsTerminated(settings.DetFileNameSuffix, sizeof settings.DetFileNameSuffix), "DetFileNameSuffix terminated");
    Require(IsTerminated(settings.DVBDevice_Name, sizeof settings.DVBDevice_Name), "DVBDevice_Name terminated");
    Require(IsTerminated(settings.Comment, sizeof settings.Comment), "Comment terminated");
    Require(settings.Enable == 0 || settings.Enable == 1, "Enable is masked");
    Require(settings.AltFileNaming == 0 || settings.AltFileNaming == 1, "AltFileNaming is masked");
    Require(settings.Delay >= 0 && settings.Delay <= 0xFFFF, "Delay is masked");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StartCase(1112983507); // 2005-04-08 20:05:07 in the case's zone
    char path[FOLDER_SIZE];
    snprintf(path, sizeof path, "%sSettings.ini", ScratchFolder());
    FILE* file = fopen(path, "wb");
    Require(file != nullptr, "Settings.ini can be made");
    Require(fwrite(data, 1, size, file) == size, "Settings.ini is written whole");
    fclose(file);
    snprintf(pluginContext.settingsPath, FOLDER_SIZE, "%sSettings.ini", ScratchFolderWindows());

    LoadSettings();
    CheckLoaded();
    ConfineToScratchFolder(settings);

    StandinSetNetworkId(1);
    captureState.liveEvent.nidsid = 0x00010002;
    strcpy(captureState.liveEvent.channelName, "Alpha TV");
    StandinSetEpg(0x00010002, StandinEventOf(ReadClock() - 600, 1800, 1, "News", "Headlines", "The day's news."));
    WriteDetail(captureState.workerGeneration, CaseTimer());
    Require(IsTerminated(captureState.lastDetailPath, sizeof captureState.lastDetailPath), "lastDetailPath terminated");
    return 0;
}
