// GetPrivateProfileStringA, GetPrivateProfileIntA and WritePrivateProfileStringA over plain files.
//
// The file is read whole and looked at line by line, as Windows does. A write edits the text of the
// one line it concerns, or inserts one, and keeps every other byte; the new text goes to a temporary
// file beside the old one and replaces it by a rename, so a failed write leaves the old file whole.
// Names and values are located in place; nothing is copied before it is needed.
#include "platform/posix/paths.h"
#include "platform/posix/platform_control.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// MAX_PATH plus what mkstemp appends.
const int TEMPORARY_PATH_SIZE = MAX_PATH + 8;
const char* const LINE_END = "\r\n";

struct ProfileText {
    char* bytes;                 // malloc'd; null when the file is empty or missing
    size_t length;
};

// A run of bytes inside the text (or inside a caller's string).
struct Span {
    const char* begin;
    const char* end;
};

// One line: its text, and the line end (CR LF, LF or CR) up to the next line.
struct Line {
    const char* begin;
    const char* end;
    const char* next;
};

enum LineKind { LINE_OTHER, LINE_SECTION, LINE_KEY };

struct ParsedLine {
    LineKind kind;
    Span name;                   // section or key name, without the blanks around it
    Span value;                  // key lines: the value, without the blanks around it
};

// Where a key is, or where it would go.
struct KeySpot {
    bool sectionFound;
    bool keyFound;
    Line keyLine;
    ParsedLine key;
    const char* insertAt;        // past the section's last key line, or past its header
    bool insertNeedsLineEnd;     // that line is the last of the file and has no line end
};

enum ReadResult { READ_DONE, READ_MISSING, READ_FAILED };

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

Span TrimBlanks(const char* begin, const char* end)
{
    while (begin < end && IsBlank(*begin))
        ++begin;
    while (end > begin && IsBlank(end[-1]))
        --end;
    return {begin, end};
}

Span Literal(const char* text)
{
    return {text, text + strlen(text)};
}

Span TrimName(const char* name)
{
    return TrimBlanks(name, name + strlen(name));
}

// Section and key names match without regard to case (single-byte text, ASCII folding).
bool NamesMatch(Span a, Span b)
{
    if (a.end - a.begin != b.end - b.begin)
        return false;
    for (const char *p = a.begin, *q = b.begin; p < a.end; ++p, ++q) {
        char x = (*p >= 'A' && *p <= 'Z') ? (char)(*p - 'A' + 'a') : *p;
        char y = (*q >= 'A' && *q <= 'Z') ? (char)(*q - 'A' + 'a') : *q;
        if (x != y)
            return false;
    }
    return true;
}

void FreeProfile(ProfileText* text)
{
    free(text->bytes);
    text->bytes = nullptr;
    text->length = 0;
}

ReadResult ReadProfile(const char* path, ProfileText* text)
{
    text->bytes = nullptr;
    text->length = 0;
    int descriptor = open(path, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return errno == ENOENT || errno == ENOTDIR ? READ_MISSING : READ_FAILED;
    struct stat info;
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(descriptor);
        return READ_FAILED;
    }
    size_t size = (size_t)info.st_size;
    char* bytes = size > 0 ? (char*)malloc(size) : nullptr;
    if (size > 0 && bytes == nullptr) {
        close(descriptor);
        return READ_FAILED;
    }
    size_t done = 0;
    while (done < size) {
        ssize_t count = read(descriptor, bytes + done, size - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            free(bytes);
            close(descriptor);
            return READ_FAILED;
        }
        if (count == 0)
            break; // the file shrank under us: what is there is the file
        done += (size_t)count;
    }
    close(descriptor);
    text->bytes = bytes;
    text->length = done;
    return READ_DONE;
}

bool NextLine(const ProfileText& text, const char* at, Line* line)
{
    const char* limit = text.bytes + text.length;
    if (text.bytes == nullptr || at >= limit)
        return false;
    const char* end = at;
    while (end < limit && *end != '\r' && *end != '\n')
        ++end;
    const char* next = end;
    if (next < limit)
        next += (*next == '\r' && next + 1 < limit && next[1] == '\n') ? 2 : 1;
    *line = {at, end, next};
    return true;
}

// ";" starts a comment only as the first non-blank character; "#" is text like any other. A section
// line ends at its first "]", whatever follows; a key line is one with "=" in it.
ParsedLine ParseLine(const Line& line)
{
    ParsedLine parsed = {LINE_OTHER, {nullptr, nullptr}, {nullptr, nullptr}};
    const char* first = TrimBlanks(line.begin, line.end).begin;
    if (first == line.end || *first == ';')
        return parsed;
    if (*first == '[') {
        const char* close = (const char*)memchr(first + 1, ']', line.end - first - 1);
        if (close != nullptr) {
            parsed.kind = LINE_SECTION;
            parsed.name = TrimBlanks(first + 1, close);
            return parsed;
        }
    }
    const char* equals = (const char*)memchr(first, '=', line.end - first);
    if (equals == nullptr)
        return parsed;
    parsed.kind = LINE_KEY;
    parsed.name = TrimBlanks(first, equals);
    parsed.value = TrimBlanks(equals + 1, line.end);
    return parsed;
}

// Only the first section of a name is searched, and in it the first key of a name; lines before the
// first section belong to none.
KeySpot FindKey(const ProfileText& text, Span section, Span key)
{
    KeySpot spot = {};
    bool inSection = false;
    Line line;
    for (const char* at = text.bytes; NextLine(text, at, &line); at = line.next) {
        ParsedLine parsed = ParseLine(line);
        if (parsed.kind == LINE_SECTION) {
            if (inSection)
                break;
            if (NamesMatch(parsed.name, section)) {
                inSection = spot.sectionFound = true;
                spot.insertAt = line.next;
                spot.insertNeedsLineEnd = line.next == line.end;
            }
            continue;
        }
        if (!inSection || parsed.kind != LINE_KEY)
            continue;
        if (NamesMatch(parsed.name, key)) {
            spot.keyFound = true;
            spot.keyLine = line;
            spot.key = parsed;
            return spot;
        }
        spot.insertAt = line.next;
        spot.insertNeedsLineEnd = line.next == line.end;
    }
    return spot;
}

// One matching pair of outer quotes, double or single, is not part of the value.
Span Unquote(Span value)
{
    if (value.end - value.begin >= 2 && (*value.begin == '"' || *value.begin == '\'') &&
        value.end[-1] == *value.begin)
        return {value.begin + 1, value.end - 1};
    return value;
}

// The value of a key as a read sees it. False when the file, the section or the key is missing;
// `text` holds the file either way and is the caller's to free.
bool LookUpValue(LPCSTR section, LPCSTR key, LPCSTR file, ProfileText* text, Span* value)
{
    text->bytes = nullptr;
    text->length = 0;
    char path[MAX_PATH];
    if (section == nullptr || key == nullptr || !ToPosixPath(file, path) || path[0] == '\0')
        return false;
    if (ReadProfile(path, text) != READ_DONE)
        return false;
    KeySpot spot = FindKey(*text, TrimName(section), TrimName(key));
    if (!spot.keyFound)
        return false;
    *value = Unquote(spot.key.value);
    return true;
}

DWORD CopyCut(const char* begin, const char* end, LPSTR buffer, DWORD size)
{
    size_t length = (size_t)(end - begin);
    if (length > size - 1)
        length = size - 1;
    memcpy(buffer, begin, length);
    buffer[length] = '\0';
    return (DWORD)length;
}

bool WriteAll(int descriptor, const char* bytes, size_t length)
{
    while (length > 0) {
        ssize_t count = write(descriptor, bytes, length);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        bytes += count;
        length -= (size_t)count;
    }
    return true;
}

// The file becomes pieces[0] + pieces[1] + ... in one step: written beside it, then renamed over it.
bool ReplaceFile(const char* path, mode_t mode, const Span* pieces, int count)
{
    char temporary[TEMPORARY_PATH_SIZE];
    snprintf(temporary, sizeof temporary, "%s.XXXXXX", path);
    int descriptor = mkstemp(temporary);
    if (descriptor < 0)
        return false;
    bool written = true;
    for (int i = 0; i < count && written; ++i)
        written = WriteAll(descriptor, pieces[i].begin, (size_t)(pieces[i].end - pieces[i].begin));
    written = written && fchmod(descriptor, mode) == 0 && fsync(descriptor) == 0;
    written = close(descriptor) == 0 && written;
    if (written && rename(temporary, path) == 0)
        return true;
    unlink(temporary);
    return false;
}

} // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer, DWORD size,
                               LPCSTR file)
{
    if (size == 0 || buffer == nullptr)
        return 0;
    if (section == nullptr || key == nullptr) {
        buffer[0] = '\0'; // listing sections or keys: not something this layer offers
        return 0;
    }
    ProfileText text;
    Span value;
    DWORD copied;
    if (LookUpValue(section, key, file, &text, &value)) {
        copied = CopyCut(value.begin, value.end, buffer, size);
    } else {
        if (defaultText == nullptr)
            defaultText = "";
        const char* end = defaultText + strlen(defaultText);
        while (end > defaultText && end[-1] == ' ')
            --end;
        copied = CopyCut(defaultText, end, buffer, size);
    }
    FreeProfile(&text);
    return copied;
}

// A sign, then decimal digits up to the first other character, wrapping at 32 bits; an empty value
// counts as missing.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR file)
{
    ProfileText text;
    Span value;
    UINT result = (UINT)defaultValue;
    if (LookUpValue(section, key, file, &text, &value) && value.begin < value.end) {
        const char* p = TrimBlanks(value.begin, value.end).begin;
        bool negative = p < value.end && *p == '-';
        if (p < value.end && (*p == '-' || *p == '+'))
            ++p;
        UINT number = 0;
        for (; p < value.end && *p >= '0' && *p <= '9'; ++p)
            number = number * 10u + (UINT)(*p - '0');
        result = negative ? 0u - number : number;
    }
    FreeProfile(&text);
    return result;
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR file)
{
    // Deleting a key or a section (a null text or key) is not something the plug-in asks for.
    char path[MAX_PATH];
    if (section == nullptr || key == nullptr || text == nullptr || !ToPosixPath(file, path) ||
        path[0] == '\0' || TakeFault(FAULT_WRITE_PROFILE))
        return FALSE;

    struct stat info;
    mode_t mode = 0644;
    if (stat(path, &info) == 0) {
        // A read-only file stays as it is, even for a user whom the file system would let write.
        if (!S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0 || access(path, W_OK) != 0)
            return FALSE;
        mode = info.st_mode & 07777;
    }
    ProfileText old;
    if (ReadProfile(path, &old) == READ_FAILED)
        return FALSE;

    Span sectionName = TrimName(section);
    Span keyName = TrimName(key);
    Span value = {text, text + strlen(text)};
    KeySpot spot = FindKey(old, sectionName, keyName);
    const char* oldEnd = old.bytes + old.length;
    Span pieces[9];
    int count = 0;
    auto add = [&](Span piece) { pieces[count++] = piece; };
    const Span lineEnd = Literal(LINE_END);
    if (spot.keyFound) {
        // The line keeps its place, its name as the file spells it and its own line end.
        add({old.bytes, spot.keyLine.begin});
        add(spot.key.name);
        add(Literal("="));
        add(value);
        add({spot.keyLine.end, oldEnd});
    } else if (spot.sectionFound) {
        add({old.bytes, spot.insertAt});
        if (spot.insertNeedsLineEnd)
            add(lineEnd);
        add(keyName);
        add(Literal("="));
        add(value);
        add(lineEnd);
        add({spot.insertAt, oldEnd});
    } else {
        add({old.bytes, oldEnd});
        if (old.length > 0 && oldEnd[-1] != '\r' && oldEnd[-1] != '\n')
            add(lineEnd);
        add(Literal("["));
        add(sectionName);
        add(Literal("]\r\n"));
        add(keyName);
        add(Literal("="));
        add(value);
        add(lineEnd);
    }
    bool replaced = ReplaceFile(path, mode, pieces, count);
    FreeProfile(&old);
    return replaced;
}
