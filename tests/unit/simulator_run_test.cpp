// The host simulator as a program: the bundled scenario's detail files and timeline, byte for byte,
// and malformed scenarios that stop it before anything is played.
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <set>
#include <string>

namespace {

const char* const GOLDEN_FOLDER = "scenario_default";
const char* const TIMELINE_NAME = "timeline.txt";

struct ProgramRun {
    int exitCode;
    std::string out;
    std::string err;
};

ProgramRun RunSimulator(const std::string& scratch, const std::string& arguments)
{
    std::string command = std::string("'") + QUORVANE_SIM_PROGRAM + "' " + arguments + " >'" + scratch +
                          "stdout.txt' 2>'" + scratch + "stderr.txt'";
    int status = system(command.c_str());
    ProgramRun run = {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(scratch + "stdout.txt"),
                      ReadWholeFile(scratch + "stderr.txt")};
    return run;
}

std::set<std::string> ListNames(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* directory = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(directory))
            if (entry->d_name[0] != '.')
                names.insert(entry->d_name);
        closedir(directory);
    }
    return names;
}

TEST(SimulatorRunTest, DefaultScenarioWritesTheGoldenDetailFilesAndTimeline)
{
    std::string scratch = MakeScratchFolder("simulator");
    std::string output = scratch + "output/";
    ProgramRun run = RunSimulator(scratch, "--quiet --output '" + output + "' --timeline '" + scratch + TIMELINE_NAME +
                                               "' '" + QUORVANE_SCENARIO_DIR + "/default.scenario'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");

    std::set<std::string> written = ListNames(output);
    const char* update = getenv("QUORVANE_UPDATE_GOLDEN");
    bool updating = update != nullptr && std::string(update) == "1";
    std::set<std::string> golden = ListNames(GoldenPath(GOLDEN_FOLDER));
    golden.erase(TIMELINE_NAME);
    if (!updating) {
        EXPECT_EQ(written, golden);
    }
    for (const std::string& name : written) {
        std::string goldenName = std::string(GOLDEN_FOLDER) + "/" + name;
        EXPECT_EQ(CompareWithGolden(ReadWholeFile(output + name), goldenName.c_str()), "") << name;
    }
    std::string timeline = ReadWholeFile(scratch + TIMELINE_NAME);
    std::string timelineName = std::string(GOLDEN_FOLDER) + "/" + TIMELINE_NAME;
    EXPECT_EQ(CompareWithGolden(timeline, timelineName.c_str()), "");
    // The terminal of a quiet run shows the summary, the timeline's last line, and the folder.
    size_t summary = timeline.rfind("Summary:");
    ASSERT_NE(summary, std::string::npos);
    EXPECT_EQ(run.out, timeline.substr(summary) + "Detail files in " + output + "\n");
}

// The guide's texts reach the host in Windows-1252, so the files' names are not UTF-8: the golden file
// holds every detail file under a heading with its name, in the order of the names.
TEST(SimulatorRunTest, XmltvScenarioWritesTheGoldenDetailFilesAndTimeline)
{
    std::string scratch = MakeScratchFolder("simulator");
    std::string output = scratch + "output/";
    ProgramRun run = RunSimulator(scratch, "--quiet --output '" + output + "' --timeline '" + scratch + TIMELINE_NAME +
                                               "' '" + QUORVANE_SCENARIO_DIR + "/xmltv.scenario'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::string details;
    for (const std::string& name : ListNames(output))
        details += "== " + name + "\n" + ReadWholeFile(output + name);
    EXPECT_EQ(CompareWithGolden(details, "scenario_xmltv/details.txt"), "");
    EXPECT_EQ(CompareWithGolden(ReadWholeFile(scratch + TIMELINE_NAME), "scenario_xmltv/timeline.txt"), "");
}

TEST(SimulatorRunTest, RefusesAnOutputFolderThatHoldsFiles)
{
    std::string scratch = MakeScratchFolder("simulator");
    std::string output = scratch + "output/";
    std::string scenario = std::string("'") + QUORVANE_SCENARIO_DIR + "/default.scenario'";
    WriteWholeFile(scratch + "stale", "");
    mkdir(output.c_str(), 0755);
    WriteWholeFile(output + "old.txt", "old");
    ProgramRun refused = RunSimulator(scratch, "-q -o '" + output + "' " + scenario);
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_EQ(refused.err, "quorvane-sim: " + output + ": holds files already (--clean removes them)\n");
    EXPECT_EQ(ReadWholeFile(output + "old.txt"), "old");

    ProgramRun cleaned = RunSimulator(scratch, "-q --clean -o '" + output + "' " + scenario);
    EXPECT_EQ(cleaned.exitCode, 0) << cleaned.err;
    EXPECT_FALSE(FileExists(output + "old.txt"));
    EXPECT_EQ(ListNames(output).size(), 24u);
}

struct FolderCase {
    int row;
    const char* setting;      // one line of [settings]
    const char* folder;       // where the simulator watches, below the output folder
    const char* name;         // the one detail file, in that folder
};

// The plug-in writes the file name right after the folder text of its settings, backslash or not.
const FolderCase FOLDERS[] = {
    {1, "Comment default folder", "", "250329_180000 A News.txt"},
    {2, "AltDetPath .\\details\\", "details/", "250329_180000 A News.txt"},
    {3, "AltDetPath .\\details", "", "details250329_180000 A News.txt"},
    {4, "FileName .\\recordings\\", "recordings/", "250329_180000 A News.txt"},
    {5, "FileName recordings\\", "recordings/", "250329_180000 A News.txt"},
};

TEST(SimulatorRunTest, WatchesTheFolderThatTheSettingsName)
{
    for (const FolderCase& row : FOLDERS) {
        std::string scratch = MakeScratchFolder("simulator");
        std::string output = scratch + "output/";
        WriteWholeFile(scratch + "folder.scenario", std::string("[scenario]\nbegin 2025-03-29 18:00\n"
                                                                "end 2025-03-29 18:30\n[settings]\n") +
                                                        row.setting +
                                                        "\n[channel A]\nservice 1\n"
                                                        "event 2025-03-29 18:00 1h News\n"
                                                        "[actions]\n2025-03-29 18:00 tune A\n");
        ProgramRun run = RunSimulator(scratch, "-q -o '" + output + "' '" + scratch + "folder.scenario'");
        EXPECT_EQ(run.exitCode, 0) << "row " << row.row << ": " << run.err;
        EXPECT_EQ(run.out, "Summary: 1 channel change, 0 setup changes, 1 detail step: 1 file written, 0 rewritten, "
                           "0 superseded; 1 file in the detail folder.\nDetail files in " +
                               output + row.folder + "\n")
            << "row " << row.row;
        EXPECT_TRUE(FileExists(output + row.folder + row.name)) << "row " << row.row;
    }
}

struct MalformedRunCase {
    int row;
    const char* scenario;   // written as bad.scenario
    const char* guide;      // written as guide.xml when not null
    const char* message;    // after "quorvane-sim: <scratch>"
};

const MalformedRunCase MALFORMED_RUNS[] = {
    {1,
     "[scenario]\nbegin 2025-03-29 18:00\nend 2025-03-29 20:00\n[settings]\nDealy 120\n[channel A]\nservice 1\n",
     nullptr,
     "bad.scenario:5: unknown key \"Dealy\" in [settings] (known: FileName, RecFileNaming, Enable, Delay, "
     "AltFileNaming, AltDetPath, RecFileNameSuffix, DetFileNameSuffix, DVBDevice_Name, Comment)"},
    {2, "[scenario]\nbegin 2025-03-29 18:00\nend 2025-03-29 25:00\n[channel A]\nservice 1\n", nullptr,
     "bad.scenario:3: bad time \"2025-03-29 25:00\": no such date or time of day"},
    {3,
     "[scenario]\nbegin 2025-03-29 18:00\nend 2025-03-29 20:00\n[channel A]\nservice 1\n[actions]\n"
     "2025-03-29 18:00 tune A\n2025-03-29 18:30 tune B\n",
     nullptr, "bad.scenario:8: no channel \"B\" in the scenario"},
    {4,
     "[scenario]\nbegin 2025-03-29 18:00\nend 2025-03-29 20:00\nguide guide.xml\n[channel A]\nservice 1\n"
     "xmltv a\n[actions]\n2025-03-29 18:00 tune A\n",
     "<tv>\n  <programme start=\"20250329180000\" stop=\"20250329190000\" channel=\"a\">\n"
     "    <title>News</title>\n  </programme\n</tv>\n",
     "guide.xml:5: broken XMLTV guide: not well-formed (invalid token)"},
};

TEST(SimulatorRunTest, MalformedInputStopsTheRunBeforeAnythingIsPlayed)
{
    for (const MalformedRunCase& row : MALFORMED_RUNS) {
        std::string scratch = MakeScratchFolder("simulator");
        WriteWholeFile(scratch + "bad.scenario", row.scenario);
        if (row.guide != nullptr)
            WriteWholeFile(scratch + "guide.xml", row.guide);
        ProgramRun run = RunSimulator(scratch, "-o '" + scratch + "output' --timeline '" + scratch + "timeline.txt' '" +
                                                   scratch + "bad.scenario'");
        EXPECT_EQ(run.exitCode, 1) << "row " << row.row;
        EXPECT_EQ(run.err, "quorvane-sim: " + scratch + row.message + "\n") << "row " << row.row;
        EXPECT_EQ(run.out, "") << "row " << row.row;
        // No partial run: neither the output folder nor the timeline was made.
        EXPECT_FALSE(FileExists(scratch + "output")) << "row " << row.row;
        EXPECT_FALSE(FileExists(scratch + "timeline.txt")) << "row " << row.row;
    }
}

} // namespace
