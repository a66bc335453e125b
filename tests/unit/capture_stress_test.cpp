// Channel changes racing with detail steps on real threads: every file written names one
// consistent channel. Run under ThreadSanitizer as well (QUORVANE_SANITIZE=thread).
#include "capture/channel_change.h"
#include "capture/worker.h"
#include "platform/posix/platform_control.h"
#include "tests/support/capture_fixture.h"
#include "tests/support/test_files.h"

#include <string>

#include <unistd.h>

namespace {

const int CHANGES = 4000;

// Each channel's EPG names its own channel, so that a file that mixed two channels shows it.
bool EventNamingTheChannel(DWORD key, StandinEvent* event)
{
    *event = StandinEventOf(ReadClock() - 60, 3600, key, key == 0x00010002 ? "Alpha show" : "Beta show", "", "");
    return true;
}

std::string Line(const std::string& text, const char* key)
{
    size_t at = text.find(std::string("\r\n") + key);
    if (at == std::string::npos)
        return "";
    size_t end = text.find("\r\n", at + 2);
    return text.substr(at + 2, end - at - 2);
}

class CaptureStressTest : public CaptureFixture {};

TEST_F(CaptureStressTest, ChangesRacingWithStepsNeverMixTwoChannels)
{
    StandinSetNetworkId(1);
    StandinSetChannel(0, 2, "Alpha TV");
    StandinSetChannel(1, 3, "Beta TV");
    StandinSetEpgProvider(EventNamingTheChannel);
    settings.Delay = 0; // every change fires at once, so the worker steps while the changes go on
    StartCapture();
    for (int i = 0; i < CHANGES; ++i) {
        StandinSetCurrentChannel((uint16_t)(i % 2));
        OnChannelChange();
        if (i % 16 == 0)
            usleep(20); // lets the worker into the middle of the changes now and then
    }
    // One settled detail for each channel, whatever the race above left.
    for (uint16_t channel : {0, 1}) {
        ASSERT_TRUE(WaitUntilIdle(10000));
        StandinSetCurrentChannel(channel);
        OnChannelChange();
    }
    ASSERT_TRUE(WaitUntilIdle(10000));
    StopCapture();
    EXPECT_GT(StandinCallCounts().epg, 1);

    for (const char* name : {"050408_201407 Alpha TV Alpha show.txt", "050408_201407 Beta TV Beta show.txt"}) {
        SCOPED_TRACE(name);
        std::string text = ReadWholeFile(PathOf(name));
        ASSERT_FALSE(text.empty());
        bool alpha = std::string(name).find("Alpha") != std::string::npos;
        EXPECT_EQ(alpha ? "0x00010002" : "0x00010003", Line(text, "NIDSID").substr(20, 10));
        EXPECT_EQ(alpha ? "Alpha TV" : "Beta TV", Line(text, "ChannelName").substr(20, alpha ? 8 : 7));
        EXPECT_EQ(alpha ? "0x00010002" : "0x00010003", Line(text, "EID").substr(20, 10));
    }
    // Only those two names: nothing was ever written for a mixed record.
    EXPECT_EQ("050408_201407 Alpha TV Alpha show.txt\n050408_201407 Beta TV Beta show.txt\n", DetailFiles());
}

} // namespace
