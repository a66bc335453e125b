// What a detail step costs beyond the file it writes: one whole step (EPG query, resolution, names,
// text, file) against the bare create, write and close of the same bytes through the same platform
// layer, into the same folder. Both run in one program run, which ends by printing their ratio.
#include "capture/channel_change.h"
#include "capture/detail_step.h"
#include "platform/posix/platform_control.h"
#include "standin/core.h"

#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>

namespace {

const uint32_t ALPHA = 0x00010002;
const uint32_t START_TIME = 1112983507; // 2005-04-08 20:05:07 in the zone below
const char* const STEP_NAME = "BM_DetailStep";
const char* const BARE_NAME = "BM_BareWrite";

std::string folder;         // POSIX, ending in "/"
std::string folderWindows;
HANDLE timer;
std::string detailPath;     // Windows spelling, as the step wrote it
std::string detailBytes;

std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    if (FILE* file = fopen(path.c_str(), "rb")) {
        char chunk[4096];
        size_t count;
        while ((count = fread(chunk, 1, sizeof chunk, file)) > 0)
            bytes.append(chunk, count);
        fclose(file);
    }
    return bytes;
}

// A plug-in tuned to a channel with a current event, writing into a fresh folder on the manual
// clock; one step first, so that both benchmarks write the same file with the same bytes.
bool PrepareCapture(void)
{
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    const char* base = getenv("TMPDIR");
    folder = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/quorvane-bench-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr)
        return false;
    folder += "/";
    folderWindows = folder;
    for (char& c : folderWindows)
        c = c == '/' ? '\\' : c;

    ResetRecords();
    StandinReset();
    UseManualClock(START_TIME);
    strcpy(settings.FileName, folderWindows.c_str());
    settings.Enable = 1;
    settings.Delay = 180;
    strcpy(settings.RecFileNameSuffix, ".mpg");
    strcpy(settings.DetFileNameSuffix, ".txt");
    strcpy(captureState.coreVersionText, "Stand-in core 1.0");
    timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    captureState.running = 1;
    captureState.delayTimer = timer;
    StandinSetNetworkId(1);
    StandinSetChannel(0, 2, "Alpha TV");
    StandinSetCurrentChannel(0);
    OnChannelChange();
    StandinSetEpg(ALPHA, StandinEventOf(START_TIME - 900, 2700, 0x1234, "Evening News",
                                        "Headlines", "The day's news.\r\nWeather at the end.\r\n"));
    if (!WriteDetail(captureState.workerGeneration, timer))
        return false;
    detailPath = captureState.lastDetailPath;
    std::string posixPath = detailPath;
    for (char& c : posixPath)
        c = c == '\\' ? '/' : c;
    detailBytes = ReadFileBytes(posixPath);
    return !detailBytes.empty();
}

void RemoveFolder(void)
{
    std::string posixPath = detailPath;
    for (char& c : posixPath)
        c = c == '\\' ? '/' : c;
    unlink(posixPath.c_str());
    rmdir(folder.c_str());
}

void BM_DetailStep(benchmark::State& state)
{
    for (auto _ : state) {
        // The channel and the event stay, so every step rewrites the same file with the same bytes.
        bool written = WriteDetail(captureState.workerGeneration, timer);
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)detailBytes.size());
}

void BM_BareWrite(benchmark::State& state)
{
    for (auto _ : state) {
        HANDLE file = CreateFileA(detailPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        DWORD written = 0;
        WriteFile(file, detailBytes.data(), (DWORD)detailBytes.size(), &written, nullptr);
        CloseHandle(file);
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)detailBytes.size());
}

BENCHMARK(BM_DetailStep);
BENCHMARK(BM_BareWrite);

// The console's report, keeping the time of each benchmark for the ratio: with repetitions, their
// mean; otherwise the one run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            bool mean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
            if (run.error_occurred || (run.run_type != Run::RT_Iteration && !mean))
                continue;
            const std::string& name = run.run_name.function_name;
            double time = run.GetAdjustedRealTime();
            if (name == STEP_NAME && (mean || !stepFromMean)) {
                stepTime = time;
                stepFromMean = mean;
            } else if (name == BARE_NAME && (mean || !bareFromMean)) {
                bareTime = time;
                bareFromMean = mean;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double stepTime = 0;
    double bareTime = 0;
    bool stepFromMean = false;
    bool bareFromMean = false;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!PrepareCapture()) {
        fprintf(stderr, "cannot write a first detail file into %s\n", folder.c_str());
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (reporter.stepTime > 0 && reporter.bareTime > 0)
        printf("Detail step / bare write of the same %zu bytes: %.2f (target: at most 1.3)\n", detailBytes.size(),
               reporter.stepTime / reporter.bareTime);
    RemoveFolder();
    return 0;
}
