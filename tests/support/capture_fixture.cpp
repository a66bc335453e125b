#include "tests/support/capture_fixture.h"

#include "capture/channel_change.h"
#include "platform/posix/platform_control.h"
#include "tests/support/test_files.h"
#include "tests/support/time_zone.h"

#include <dirent.h>
#include <string.h>

#include <algorithm>
#include <vector>

void CaptureFixture::SetUp()
{
    ResetRecords();
    StandinReset();
    ClearFaults();
    UseTimeZone(ZONE_CENTRAL_EUROPE);
    startTime = LocalTimeValue(2005, 4, 8, 20, 15, 7);
    UseManualClock(startTime);
    folder = MakeScratchFolder("capture");
    UseDefaultSettings();
}

void CaptureFixture::TearDown()
{
    ClearFaults();
    UseRealClock();
}

void CaptureFixture::UseDefaultSettings()
{
    memset(&settings, 0, sizeof settings);
    strcpy(settings.FileName, ToWindowsPath(folder).c_str());
    settings.Enable = 1;
    settings.Delay = 180;
    strcpy(settings.RecFileNameSuffix, ".mpg");
    strcpy(settings.DetFileNameSuffix, ".txt");
}

void CaptureFixture::TuneLiveEvent(uint32_t nidsid, const char* channelName)
{
    memset(&captureState.liveEvent, 0, sizeof captureState.liveEvent);
    captureState.liveEvent.nidsid = nidsid;
    strcpy(captureState.liveEvent.channelName, channelName);
}

void CaptureFixture::Pass(int64_t seconds)
{
    ASSERT_TRUE(WaitUntilIdle(5000));
    ASSERT_TRUE(RunManualClockUntil(ClockNow100ns() + seconds * 10000000));
    ASSERT_TRUE(WaitUntilIdle(5000));
}

void CaptureFixture::ChangeTo(uint16_t channel)
{
    StandinSetCurrentChannel(channel);
    OnChannelChange();
}

int64_t CaptureFixture::TimerDueIn()
{
    bool armed = false, signalled = false;
    int64_t due = 0;
    if (!GetTimerState(captureState.delayTimer, &armed, &signalled, &due) || !armed)
        return -1;
    return due - ClockNow100ns();
}

std::string CaptureFixture::DetailFiles()
{
    std::vector<std::string> names;
    if (DIR* directory = opendir(folder.c_str())) {
        while (dirent* entry = readdir(directory))
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        closedir(directory);
    }
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string& name : names)
        list += name + "\n";
    return list;
}
