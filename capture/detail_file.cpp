#include "capture/detail_file.h"

#include "capture/names.h"
#include "capture/text.h"

#include <stdio.h>
#include <string.h>

const char* const VERSION_STAMP = "KLW08Apr2005";
const char* const HOMEPAGE_TEXT = "https://quorvane.example.org/";

namespace {

const int KEY_COLUMNS = 18;      // the key, filled up with spaces
const int VALUE_COLUMN = 20;     // after "= "
const int VALUE_COLUMNS = 64;    // the template's room for a value, up to the ";" in column 84
const int PADDED_WIDTH = 63;     // a padded value is filled up to this many characters

enum LineKind { PLAIN, EMPTY, SECTION, PADDED, TEMPLATE };

enum ValueSource {
    NO_VALUE,
    EVENT_NAME_FROM_FIRST,       // eventName without its leading blanks
    EVENT_NAME_WHOLE,
    SHORT_TEXT,
    LONG_TEXT,
    CHANNEL_NAME,
    EID_HEX,
    NIDSID_HEX,
    START_STAMP,
    END_STAMP,
    LANGUAGE_HEX,
    NEXT_DETAIL_STAMP,
    RECORDING_NAME,
    RECORDING_FOLDER,
    DETAIL_NAME,
    DETAIL_FOLDER,
    CHANGE_STAMP,
    DELAY_DECIMAL,
    ALT_FILE_NAMING_DECIMAL,
    DEVICE_NAME,
    CORE_VERSION,
    VERSION,
    HOMEPAGE,
    COMMENT,
};

struct DetailLine {
    LineKind kind;
    const char* key;             // the key, or the whole text of a section header
    ValueSource value;
    const char* comment;         // template lines: after "; "; padded lines: including " ; "
};

const DetailLine DETAIL_LINES[] = {
    {PLAIN, nullptr, EVENT_NAME_FROM_FIRST, nullptr},
    {PLAIN, nullptr, SHORT_TEXT, nullptr},
    {PLAIN, nullptr, LONG_TEXT, nullptr},
    {EMPTY, nullptr, NO_VALUE, nullptr},
    {SECTION, "[EventInfo]", NO_VALUE, nullptr},
    {PADDED, "EventName", EVENT_NAME_WHOLE, " ; Event Name from epg.mdb~eit~EventName"},
    {TEMPLATE, "ChannelName", CHANNEL_NAME, "Channel Name"},
    {TEMPLATE, "EID", EID_HEX, "EID from epg.mdb~eit~EID"},
    {TEMPLATE, "NIDSID", NIDSID_HEX, "NIDSID from epg.mdb~eit~NIDSID"},
    {TEMPLATE, "EventStart", START_STAMP, "Event Start Time modified from epg.mdb~eit~BUnixTime"},
    {TEMPLATE, "EventEnd", END_STAMP, "Event End Time modified from epg.mdb~eit~EUnixTime"},
    {TEMPLATE, "Language", LANGUAGE_HEX, "Event Language from epg.mdb~eit~Lang"},
    {TEMPLATE, "NextEventDetail", NEXT_DETAIL_STAMP,
     "Next Scheduled Time to Write a Detail File (unless the channel is changed)"},
    {EMPTY, nullptr, NO_VALUE, nullptr},
    {SECTION, "[EventRecording]", NO_VALUE, nullptr},
    {PADDED, "RecordingFileName", RECORDING_NAME, " ; Recorded File Name"},
    {PADDED, "RecordingFileLoc", RECORDING_FOLDER,
     " ; MyTheatre Settings.GeneralSettings.Recording.RecordFilesTo"},
    {PADDED, "DetailFileName", DETAIL_NAME, " ; Detail File Name"},
    {PADDED, "DetailFileLoc", DETAIL_FOLDER,
     " ; if defined: AltDetPath else: MyTheatre Settings.GeneralSettings.Recording.RecordFilesTo"},
    {TEMPLATE, "RecordingStart", CHANGE_STAMP, "Record Start Time (approximate)"},
    {EMPTY, nullptr, NO_VALUE, nullptr},
    {SECTION, "[Environment]", NO_VALUE, nullptr},
    {TEMPLATE, "Delay", DELAY_DECIMAL, "Delay (in seconds) after channel change/startup before grabbing EPG data"},
    {TEMPLATE, "AltFileNaming", ALT_FILE_NAMING_DECIMAL, "Use Alternate File Naming and Date Scheme 0/1"},
    {TEMPLATE, "DVBDevice_Name", DEVICE_NAME,
     "User Specified DVB Hardware Information (from Settings.ini:[Quorvane])"},
    {TEMPLATE, "DVBCore_Version", CORE_VERSION, "DVBCore Version"},
    {TEMPLATE, "QTR_Version", VERSION, "QTR DLL Version"},
    {TEMPLATE, "Homepage", HOMEPAGE, "QTR/Quorvane Homepage URL"},
    {PADDED, "Comment", COMMENT, " ; User Specified Comment (from Settings.ini:[Quorvane])"},
    {EMPTY, nullptr, NO_VALUE, nullptr},
    {EMPTY, nullptr, NO_VALUE, nullptr},
};

struct ComposeInput {
    TimeValue now;
    uint32_t nextDelay;
    const char* detailName;
    const char* recordingName;
    const char* detailDir;
};

const int SCRATCH_SIZE = 32; // a stamp, "0x" and eight hex digits, or a decimal number

const char* LineValue(ValueSource source, const ComposeInput& input, char scratch[SCRATCH_SIZE])
{
    const EventRecord& snapshot = captureState.snapshot;
    switch (source) {
    case NO_VALUE: return "";
    case EVENT_NAME_FROM_FIRST: return SkipLeadingBlanks(snapshot.eventName);
    case EVENT_NAME_WHOLE: return snapshot.eventName;
    case SHORT_TEXT: return SkipLeadingBlanks(snapshot.shortText);
    case LONG_TEXT: return SkipLeadingBlanks(snapshot.longText);
    case CHANNEL_NAME: return SkipLeadingBlanks(snapshot.channelName);
    case EID_HEX: snprintf(scratch, SCRATCH_SIZE, "0x%08X", (unsigned)snapshot.eid); return scratch;
    case NIDSID_HEX: snprintf(scratch, SCRATCH_SIZE, "0x%08X", (unsigned)snapshot.nidsid); return scratch;
    case LANGUAGE_HEX: snprintf(scratch, SCRATCH_SIZE, "0x%08X", (unsigned)snapshot.language); return scratch;
    case START_STAMP: FormatStamp(snapshot.start, scratch); return scratch;
    case END_STAMP: FormatStamp(snapshot.end != 0 ? snapshot.end : snapshot.start, scratch); return scratch;
    case NEXT_DETAIL_STAMP: FormatStamp(input.now + input.nextDelay, scratch); return scratch;
    case CHANGE_STAMP: FormatStamp(captureState.changeTime, scratch); return scratch;
    case RECORDING_NAME: return input.recordingName;
    case RECORDING_FOLDER: return settings.FileName;
    case DETAIL_NAME: return input.detailName;
    case DETAIL_FOLDER: return input.detailDir;
    case DELAY_DECIMAL: snprintf(scratch, SCRATCH_SIZE, "%u", (unsigned)settings.Delay); return scratch;
    case ALT_FILE_NAMING_DECIMAL:
        snprintf(scratch, SCRATCH_SIZE, "%u", (unsigned)settings.AltFileNaming);
        return scratch;
    case DEVICE_NAME: return settings.DVBDevice_Name;
    case CORE_VERSION: return captureState.coreVersionText;
    case VERSION: return VERSION_STAMP;
    case HOMEPAGE: return HOMEPAGE_TEXT;
    case COMMENT: return settings.Comment;
    }
    return "";
}

// Appends to a fixed buffer; what does not fit is dropped, and the text stays terminated.
struct TextBuffer {
    char* text;
    int size;
    int length;
};

void Append(TextBuffer& buffer, const char* text, int count)
{
    int room = buffer.size - 1 - buffer.length;
    if (count > room)
        count = room;
    memcpy(buffer.text + buffer.length, text, count);
    buffer.length += count;
    buffer.text[buffer.length] = '\0';
}

void Append(TextBuffer& buffer, const char* text) { Append(buffer, text, (int)strlen(text)); }

void AppendSpaces(TextBuffer& buffer, int count)
{
    static const char spaces[] = "                                                                ";
    while (count > 0) {
        int chunk = count < (int)sizeof spaces - 1 ? count : (int)sizeof spaces - 1;
        Append(buffer, spaces, chunk);
        count -= chunk;
    }
}

void AppendKeyPrefix(TextBuffer& buffer, const char* key)
{
    Append(buffer, key);
    AppendSpaces(buffer, KEY_COLUMNS - (int)strlen(key));
    Append(buffer, "= ");
}

// The value is filled up with spaces to 63 characters, then the comment, which starts " ; ".
void AppendPaddedLine(TextBuffer& buffer, const char* key, const char* value, const char* comment)
{
    AppendKeyPrefix(buffer, key);
    int valueLength = (int)strlen(value);
    Append(buffer, value, valueLength);
    AppendSpaces(buffer, PADDED_WIDTH - valueLength);
    Append(buffer, comment);
}

// The value is laid over the template's 64 spaces, "; " and comment from column 20 on: it replaces
// them character for character. A value longer than the whole rest of its template runs on whole.
void AppendTemplateLine(TextBuffer& buffer, const char* key, const char* value, const char* comment)
{
    AppendKeyPrefix(buffer, key);
    int valueLength = (int)strlen(value);
    int commentLength = (int)strlen(comment);
    Append(buffer, value, valueLength);
    int covered = valueLength; // columns of the template's rest that the value replaced
    if (covered < VALUE_COLUMNS) {
        AppendSpaces(buffer, VALUE_COLUMNS - covered);
        covered = VALUE_COLUMNS;
    }
    const char* rest = "; ";
    for (int i = covered - VALUE_COLUMNS; i < 2; ++i)
        Append(buffer, rest + i, 1);
    covered = covered > VALUE_COLUMNS + 2 ? covered : VALUE_COLUMNS + 2;
    int commentCovered = covered - VALUE_COLUMNS - 2;
    if (commentCovered < commentLength)
        Append(buffer, comment + commentCovered, commentLength - commentCovered);
}

} // namespace

int ComposeDetailText(TimeValue now, uint32_t nextDelay, const char* detailName, const char* recordingName,
                      const char* detailDir, char detailText[DETAIL_TEXT_SIZE])
{
    const ComposeInput input = {now, nextDelay, detailName, recordingName, detailDir};
    TextBuffer buffer = {detailText, DETAIL_TEXT_SIZE, 0};
    detailText[0] = '\0';
    for (const DetailLine& line : DETAIL_LINES) {
        char scratch[SCRATCH_SIZE];
        const char* value = LineValue(line.value, input, scratch);
        switch (line.kind) {
        case PLAIN: Append(buffer, value); break;
        case EMPTY: break;
        case SECTION: Append(buffer, line.key); break;
        case PADDED: AppendPaddedLine(buffer, line.key, value, line.comment); break;
        case TEMPLATE: AppendTemplateLine(buffer, line.key, value, line.comment); break;
        }
        Append(buffer, "\r\n");
    }
    return buffer.length;
}

bool WriteDetailFile(const char* detailPath, const char* detailText, int length)
{
    // Recorded before the creation, so that they name the file whether or not it can be made.
    CopyText(captureState.lastDetailPath, FOLDER_SIZE, detailPath);
    captureState.lastDetailStart = captureState.snapshot.start;
    if (detailPath[0] == '\0')
        return false;

    HANDLE file = CreateFileA(detailPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE || file == nullptr)
        return false;
    DWORD written = 0;
    BOOL wrote = WriteFile(file, detailText, (DWORD)length, &written, nullptr);
    CloseHandle(file);
    // A failed or short write (a full disk) leaves a partial file: that is no success.
    return wrote && written == (DWORD)length;
}
