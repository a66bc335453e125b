// How long the host simulator takes for a day with 100 channel changes: the whole program, from
// reading the scenario to the plug-in's close, as a user runs it.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

const int CHANNELS = 3;
const int EVENTS_PER_CHANNEL = 48;   // half-hour programmes around the clock
const int CHANGES = 100;
const int MINUTES_BETWEEN_CHANGES = 14;

std::string TwoDigits(int value)
{
    char text[8];
    snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string DayScenario(void)
{
    std::string text =
        "[scenario]\n"
        "zone CET-1CEST,M3.5.0,M10.5.0/3\n"
        "begin 2025-06-14 00:00\n"
        "end 2025-06-15 00:00\n"
        "[settings]\n"
        "Delay 180\n";
    for (int channel = 0; channel < CHANNELS; ++channel) {
        text += "[channel Channel " + std::to_string(channel + 1) + "]\nservice " + std::to_string(channel + 1) + "\n";
        for (int event = 0; event < EVENTS_PER_CHANNEL; ++event)
            text += "event 2025-06-14 " + TwoDigits(event / 2) + ":" + TwoDigits(event % 2 * 30) + " 30m Programme " +
                    std::to_string(event + 1) + "\n";
    }
    text += "[actions]\n";
    for (int change = 0; change < CHANGES; ++change) {
        int minute = 5 + change * MINUTES_BETWEEN_CHANGES;
        text += "2025-06-14 " + TwoDigits(minute / 60) + ":" + TwoDigits(minute % 60) + " tune Channel " +
                std::to_string(change % CHANNELS + 1) + "\n";
    }
    return text;
}

void BM_SimulatedDayWith100ChannelChanges(benchmark::State& state)
{
    const char* base = getenv("TMPDIR");
    std::string folder = std::string(base != nullptr ? base : "/tmp") + "/quorvane-bench-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) {
        state.SkipWithError("cannot make a scratch folder");
        return;
    }
    std::string scenario = folder + "/day.scenario";
    FILE* file = fopen(scenario.c_str(), "wb");
    std::string text = DayScenario();
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
    std::string command = std::string("'") + QUORVANE_SIM_PROGRAM + "' --quiet --clean --output '" + folder +
                          "/output' '" + scenario + "' >/dev/null";
    for (auto _ : state) {
        if (system(command.c_str()) != 0) {
            state.SkipWithError("the simulator failed");
            break;
        }
    }
    state.counters["channel_changes"] = CHANGES;
    std::string cleanUp = "rm -rf '" + folder + "'"; // the scratch folder is this run's alone
    if (system(cleanUp.c_str()) != 0)
        state.SkipWithError("cannot remove the scratch folder");
}

} // namespace

BENCHMARK(BM_SimulatedDayWith100ChannelChanges)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
