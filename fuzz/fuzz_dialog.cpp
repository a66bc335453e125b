// Any texts typed into the setup dialog, then OK: the dialog either refuses them with a message and
// changes nothing, or takes them into the settings, saves them and a detail step uses them. The
// Enable box stays clear, so that OK never starts a worker.
#include "capture/detail_step.h"
#include "fuzz/fuzz_support.h"
#include "platform/posix/dialog_control.h"
#include "settings/setup_controls.h"
#include "settings/setup_dialog.h"
#include "standin/core.h"

#include <stdio.h>
#include <string.h>

namespace {

enum CaseFlag {
    TOGGLE_ALT_FILE_NAMING = 0x01,
};

struct TypedText {
    int id;
    char* field;                 // where an accepted OK puts the text
    size_t size;
};

char typed[WINDOW_TEXT_SIZE];

bool IsFolderOrEmpty(const char* text)
{
    size_t length = strlen(text);
    return length == 0 || text[length - 1] == '\\';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input = StartInput(data, size);
    uint8_t flags = TakeU8(input);
    StartCase(1112983507);
    captureState.running = 0;
    settings.Enable = 0;
    snprintf(pluginContext.settingsPath, FOLDER_SIZE, "%sSettings.ini", ScratchFolderWindows());
    ResetDialogModel();

    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), SETUP_TEMPLATE_NAME, nullptr, SetupDialogProc, 0);
    Require(dialog != nullptr, "the dialog opens");
    pluginContext.setupDialog = dialog;
    if (flags & TOGGLE_ALT_FILE_NAMING)
        ClickButton(dialog, IDC_ALT_FILE_NAMING);

    TypedText texts[] = {
        {IDC_DELAY, nullptr, 0},
        {IDC_ALT_DET_PATH, settings.AltDetPath, sizeof settings.AltDetPath},
        {IDC_REC_FILE_NAME_SUFFIX, settings.RecFileNameSuffix, sizeof settings.RecFileNameSuffix},
        {IDC_DET_FILE_NAME_SUFFIX, settings.DetFileNameSuffix, sizeof settings.DetFileNameSuffix},
        {IDC_DVB_DEVICE_NAME, settings.DVBDevice_Name, sizeof settings.DVBDevice_Name},
        {IDC_COMMENT, settings.Comment, sizeof settings.Comment},
        {IDC_RECORDING_PATH, settings.FileName, sizeof settings.FileName},
        {IDC_REC_FILE_NAMING, settings.RecFileNaming, sizeof settings.RecFileNaming},
    };
    static char expected[sizeof texts / sizeof texts[0]][WINDOW_TEXT_SIZE];
    for (size_t i = 0; i < sizeof texts / sizeof texts[0]; ++i) {
        TakeText(input, typed, sizeof typed);
        Require(TypeIntoControl(dialog, texts[i].id, typed), "the text is typed");
        snprintf(expected[i], texts[i].size > 0 ? texts[i].size : 1, "%s", typed); // cut as the field reads it
    }
    const Settings before = settings;

    Require(ClickButton(dialog, IDC_SETUP_OK), "OK is clicked");

    if (IsWindow(dialog)) {
        Require(CountMessageBoxes() == 1, "a refused OK shows one message");
        Require(memcmp(&before, &settings, sizeof settings) == 0, "a refused OK changes no setting");
        DestroyWindow(dialog);
        return 0;
    }
    Require(CountMessageBoxes() == 0, "an accepted OK shows nothing");
    Require(pluginContext.setupDialog == nullptr, "an accepted OK closes the dialog");
    Require(settings.Delay >= 1 && settings.Delay <= 32767, "an accepted Delay is in range");
    Require(IsFolderOrEmpty(settings.AltDetPath) && IsFolderOrEmpty(settings.FileName), "accepted folders end in a backslash");
    Require(settings.AltFileNaming == ((flags & TOGGLE_ALT_FILE_NAMING) != 0), "the check box is taken");
    for (size_t i = 1; i < sizeof texts / sizeof texts[0]; ++i)
        Require(strcmp(expected[i], texts[i].field) == 0, "an accepted text is taken as typed, cut to its field");

    ConfineToScratchFolder(settings);
    captureState.running = 1;
    captureState.liveEvent.nidsid = 0x00010002;
    strcpy(captureState.liveEvent.channelName, "Alpha TV");
    StandinSetEpg(0x00010002, StandinEventOf(ReadClock() - 600, 1800, 1, "News", "Headlines", "The day's news."));
    WriteDetail(captureState.workerGeneration, CaseTimer());
    Require(IsTerminated(captureState.lastDetailPath, sizeof captureState.lastDetailPath), "lastDetailPath terminated");
    return 0;
}
