// A plug-in with fresh records, the stand-in core, the manual clock and a scratch recording folder.
#pragma once

#include "capture/records.h"
#include "standin/core.h"

#include <gtest/gtest.h>

#include <string>

class CaptureFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Settings as a fresh Settings.ini gives them, with the recording folder in the scratch folder.
    void UseDefaultSettings();
    // The channel that the last channel change took, as OnChannelChange leaves the live record.
    void TuneLiveEvent(uint32_t nidsid, const char* channelName);

    // Lets the worker run everything that is due now, then moves the manual clock on.
    void Pass(int64_t seconds);
    // The host reports a change to the given entry of the stand-in core's channel table.
    void ChangeTo(uint16_t channel);
    // Time until the delay timer fires, in 100 ns units; -1 when it is not armed.
    int64_t TimerDueIn();

    std::string DetailFiles(); // the names in the scratch folder, one a line, sorted
    std::string PathOf(const std::string& name) const { return folder + name; }

    std::string folder;        // POSIX path, ending in "/"
    TimeValue startTime;       // the manual clock's time at the start of each test
};
