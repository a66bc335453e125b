// quorvane-sim: plays a scenario through the plug-in as a host would, and shows what it wrote.
#include "standin/simulator/host_libraries.h"
#include "standin/simulator/playback.h"
#include "standin/simulator/scenario_reader.h"
#include "standin/simulator/scenario_time.h"
#include "standin/simulator/timeline.h"

#include <dirent.h>
#include <errno.h>
#include <getopt.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace {

const int EXIT_SCENARIO = 1;   // the scenario is wrong: nothing was played
const int EXIT_USAGE = 2;
const int EXIT_RUN = 3;        // the libraries would not load, or the run went wrong

const char* const USAGE =
    "Usage: quorvane-sim [options] SCENARIO\n"
    "Plays SCENARIO through the plug-in, as a host does, and prints a timeline of channel changes,\n"
    "setup changes and detail steps.\n"
    "\n"
    "  -o, --output DIR     the recording folder: the detail files go here (default: scenario-output)\n"
    "      --clean          empty the output folder first; otherwise it must be empty or missing\n"
    "      --timeline FILE  also write the timeline to FILE\n"
    "  -q, --quiet          print the summary only\n"
    "      --real-time      play on the real clock: the scenario's begin is now, and a day takes a day\n"
    "      --check          read and check the scenario, then stop\n"
    "      --plugin FILE    the plug-in shared object (default: " QUORVANE_SIM_PLUGIN ")\n"
    "      --core FILE      the stand-in core (default: " QUORVANE_SIM_CORE ")\n"
    "      --host DIR       the host folder for DVBCore.dll, Quorvane.dll and Settings.ini\n"
    "                       (default: a temporary folder, removed afterwards)\n"
    "  -h, --help           show this text\n";

struct Options {
    std::string scenario;
    std::string output = "scenario-output";
    std::string timeline;
    std::string plugin = QUORVANE_SIM_PLUGIN;
    std::string core = QUORVANE_SIM_CORE;
    std::string host;
    bool clean = false;
    bool quiet = false;
    bool realTime = false;
    bool check = false;
};

bool ReadOptions(int argc, char** argv, Options* options)
{
    enum { CLEAN = 256, TIMELINE, REAL_TIME, CHECK, PLUGIN, CORE, HOST };
    static const struct option LONG_OPTIONS[] = {
        {"output", required_argument, nullptr, 'o'}, {"clean", no_argument, nullptr, CLEAN},
        {"timeline", required_argument, nullptr, TIMELINE}, {"quiet", no_argument, nullptr, 'q'},
        {"real-time", no_argument, nullptr, REAL_TIME}, {"check", no_argument, nullptr, CHECK},
        {"plugin", required_argument, nullptr, PLUGIN}, {"core", required_argument, nullptr, CORE},
        {"host", required_argument, nullptr, HOST}, {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    int option;
    while ((option = getopt_long(argc, argv, "o:qh", LONG_OPTIONS, nullptr)) != -1) {
        switch (option) {
        case 'o': options->output = optarg; break;
        case CLEAN: options->clean = true; break;
        case TIMELINE: options->timeline = optarg; break;
        case 'q': options->quiet = true; break;
        case REAL_TIME: options->realTime = true; break;
        case CHECK: options->check = true; break;
        case PLUGIN: options->plugin = optarg; break;
        case CORE: options->core = optarg; break;
        case HOST: options->host = optarg; break;
        case 'h': fputs(USAGE, stdout); exit(0);
        default: return false;
        }
    }
    if (optind != argc - 1)
        return false;
    options->scenario = argv[optind];
    return true;
}

std::string WithSlash(const std::string& folder)
{
    return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

std::string AbsolutePath(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    char here[PATH_MAX];
    return getcwd(here, sizeof here) != nullptr ? std::string(here) + "/" + path : path;
}

bool MakeFolders(const std::string& folder, std::string* message)
{
    for (size_t slash = folder.find('/', 1); ; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            *message = part + ": cannot make the folder: " + strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            return true;
    }
}

// Names in a folder other than "." and "..".
std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* directory = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(directory))
            if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
                names.push_back(entry->d_name);
        closedir(directory);
    }
    return names;
}

bool PrepareOutputFolder(const Options& options, const std::string& detailFolder, std::string* message)
{
    if (!MakeFolders(options.output, message))
        return false;
    if (options.clean) {
        for (const std::string& folder : {WithSlash(options.output), detailFolder})
            for (const std::string& name : ListFolder(folder)) {
                struct stat info;
                std::string path = folder + name;
                if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
                    unlink(path.c_str());
            }
    }
    for (const std::string& folder : {WithSlash(options.output), detailFolder}) {
        FolderContents files;
        ReadFolderContents(folder, &files);
        if (!files.empty()) {
            *message = folder + ": holds files already (--clean removes them)";
            return false;
        }
    }
    return MakeFolders(detailFolder, message);
}

const ScenarioSetting* FindSetting(const Scenario& scenario, const char* key)
{
    for (const ScenarioSetting& setting : scenario.settings)
        if (setting.key == key)
            return &setting;
    return nullptr;
}

// The folder the plug-in will write to, as a path from here: AltDetPath, else FileName, else the
// host's default ".\", which is the output folder (the run's current folder). The plug-in puts the
// file name right after that text, so a text that does not end in a backslash names a folder and
// the start of the file names.
std::string DetailFolderOf(const Scenario& scenario, const std::string& output)
{
    const ScenarioSetting* alternative = FindSetting(scenario, "AltDetPath");
    const ScenarioSetting* recording = FindSetting(scenario, "FileName");
    std::string folder = alternative != nullptr && !alternative->value.empty() ? alternative->value
                         : recording != nullptr                                ? recording->value
                                                                               : ".\\";
    for (char& c : folder)
        if (c == '\\')
            c = '/';
    folder.erase(folder.find_last_of('/') + 1);
    while (folder.compare(0, 2, "./") == 0)
        folder.erase(0, 2);
    if (folder.empty())
        return WithSlash(output);
    return folder[0] == '/' ? folder : WithSlash(output) + folder;
}

// Settings.ini as the host keeps it beside DVBCore.dll: its own section first, then the plug-in's.
bool WriteSettingsFile(const Scenario& scenario, const std::string& hostFolder, std::string* message)
{
    std::string text;
    for (const char* section : {"MyTheatre", "Quorvane"}) {
        std::string lines;
        for (const ScenarioSetting& setting : scenario.settings)
            if (strcmp(SettingSection(setting.key), section) == 0)
                lines += setting.key + "=" + setting.value + "\r\n";
        if (!lines.empty())
            text += std::string("[") + section + "]\r\n" + lines;
    }
    std::ofstream out(hostFolder + "Settings.ini", std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        *message = hostFolder + "Settings.ini: cannot write";
        return false;
    }
    return true;
}

void RemoveHostFolder(const std::string& folder)
{
    for (const std::string& name : ListFolder(folder))
        unlink((folder + name).c_str());
    rmdir(folder.c_str());
}

int CountEvents(const Scenario& scenario)
{
    int events = 0;
    for (const ScenarioChannel& channel : scenario.channels)
        events += (int)channel.events.size();
    return events;
}

int Run(Options& options)
{
    Scenario scenario;
    std::string message;
    if (!ReadScenario(options.scenario, &scenario, &message)) {
        fprintf(stderr, "quorvane-sim: %s\n", message.c_str());
        return EXIT_SCENARIO;
    }
    if (options.check) {
        printf("%s: %zu channels, %d events, %zu actions, %s to %s\n", options.scenario.c_str(),
               scenario.channels.size(), CountEvents(scenario), scenario.actions.size(),
               FormatScenarioTime(scenario.begin).c_str(), FormatScenarioTime(scenario.end).c_str());
        return 0;
    }

    options.output = AbsolutePath(options.output);
    options.plugin = AbsolutePath(options.plugin);
    options.core = AbsolutePath(options.core);
    std::string detailFolder = DetailFolderOf(scenario, options.output);
    bool temporaryHost = options.host.empty();
    if (temporaryHost) {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/quorvane-host-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            fprintf(stderr, "quorvane-sim: cannot make a host folder: %s\n", strerror(errno));
            return EXIT_RUN;
        }
        options.host = pattern;
    }
    std::string hostFolder = WithSlash(AbsolutePath(options.host));
    FILE* timelineFile = nullptr;
    HostLibraries libraries;
    bool ready = PrepareOutputFolder(options, detailFolder, &message) && MakeFolders(hostFolder, &message) &&
                 WriteSettingsFile(scenario, hostFolder, &message) &&
                 LoadHostLibraries(options.core, options.plugin, hostFolder, &libraries, &message);
    if (ready && !options.timeline.empty()) {
        timelineFile = fopen(options.timeline.c_str(), "wb");
        if (timelineFile == nullptr) {
            message = options.timeline + ": cannot write the timeline: " + strerror(errno);
            ready = false;
        }
    }
    // The plug-in's default recording folder ".\" is the current one.
    if (ready && chdir(options.output.c_str()) != 0) {
        message = options.output + ": " + strerror(errno);
        ready = false;
    }
    if (!ready) {
        fprintf(stderr, "quorvane-sim: %s\n", message.c_str());
        return EXIT_RUN;
    }

    Timeline timeline;
    StartTimeline(&timeline, scenario, options.quiet, timelineFile);
    PlaybackOptions playback = {detailFolder, options.realTime};
    if (!PlayScenario(scenario, &libraries, playback, &timeline, &message)) {
        // A thread of the plug-in may still be inside it: leave without running any clean-up.
        fprintf(stderr, "quorvane-sim: %s\n", message.c_str());
        fflush(nullptr);
        _exit(EXIT_RUN);
    }
    FolderContents files;
    ReadFolderContents(detailFolder, &files);
    PrintTimelineSummary(&timeline, (int)files.size());
    if (timelineFile != nullptr)
        fclose(timelineFile);
    printf("Detail files in %s\n", detailFolder.c_str());
    UnloadHostLibraries(&libraries);
    if (temporaryHost)
        RemoveHostFolder(hostFolder);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ReadOptions(argc, argv, &options)) {
        fputs(USAGE, stderr);
        return EXIT_USAGE;
    }
    return Run(options);
}
