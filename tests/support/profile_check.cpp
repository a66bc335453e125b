#include "tests/support/profile_check.h"

#include "platform/win32.h"

#include <stdio.h>
#include <string.h>

namespace {

const unsigned char POISON = 0xA5;

std::string Quote(const char* bytes, size_t length)
{
    std::string text = "\"";
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = (unsigned char)bytes[i];
        char escape[8];
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\t')
            text += "\\t";
        else if (c == '"' || c == '\\')
            text += std::string("\\") + (char)c;
        else if (c < 0x20 || c >= 0x7F) {
            snprintf(escape, sizeof escape, "\\x%02X", c);
            text += escape;
        } else
            text += (char)c;
    }
    return text + "\"";
}

std::string Quote(const std::string& bytes)
{
    return Quote(bytes.data(), bytes.size());
}

bool ReadBytes(const std::string& path, std::string* bytes)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bytes->clear();
    char chunk[4096];
    size_t count;
    while ((count = fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes->append(chunk, count);
    fclose(file);
    return true;
}

bool WriteBytes(const std::string& path, const char* bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    size_t length = strlen(bytes);
    bool written = fwrite(bytes, 1, length, file) == length;
    return fclose(file) == 0 && written;
}

// What a read must leave in the buffer: the text, its NUL, and the poison everywhere else.
std::string CheckBuffer(const ProfileCase& row, const unsigned char* buffer, DWORD copied)
{
    size_t length = row.expected != nullptr ? strlen(row.expected) : 0;
    std::string failure;
    if (copied != length)
        failure += " returned " + std::to_string(copied) + ", expected " + std::to_string(length) + ";";
    if (row.expected == nullptr) {
        for (unsigned i = 0; i < PROFILE_CASE_MAX_SIZE + 16; ++i)
            if (buffer[i] != POISON)
                return failure + " size 0 wrote into the buffer at " + std::to_string(i);
        return failure;
    }
    const char* text = (const char*)buffer;
    size_t end = 0;
    while (end < PROFILE_CASE_MAX_SIZE + 16 && buffer[end] != '\0')
        ++end;
    if (end != length || memcmp(text, row.expected, length) != 0)
        failure += " buffer " + Quote(text, end) + ", expected " + Quote(row.expected, length) + ";";
    for (unsigned i = length + 1; i < PROFILE_CASE_MAX_SIZE + 16; ++i)
        if (buffer[i] != POISON)
            return failure + " wrote past the text's NUL at " + std::to_string(i);
    return failure;
}

} // namespace

std::string CheckProfileCase(const ProfileCase& row, const std::string& windowsFolder,
                             LocalPathFunction toLocalPath)
{
    char name[64];
    if (row.flags & CASE_IN_MISSING_FOLDER)
        snprintf(name, sizeof name, "missing%03d\\case.ini", row.number);
    else
        snprintf(name, sizeof name, "case%03d.ini", row.number);
    std::string windowsPath = windowsFolder + name;
    std::string localPath = toLocalPath(windowsPath);
    std::string prefix = "case " + std::to_string(row.number) + ":";

    remove(localPath.c_str());
    if (row.initial != nullptr && !WriteBytes(localPath, row.initial))
        return prefix + " could not set up " + localPath;

    std::string failure;
    if (row.operation == READ_TEXT) {
        unsigned char buffer[PROFILE_CASE_MAX_SIZE + 16];
        memset(buffer, POISON, sizeof buffer);
        DWORD copied = GetPrivateProfileStringA(row.section, row.key, row.text, (LPSTR)buffer, row.size,
                                                windowsPath.c_str());
        failure = CheckBuffer(row, buffer, copied);
    } else if (row.operation == READ_NUMBER) {
        UINT number = GetPrivateProfileIntA(row.section, row.key, row.defaultValue, windowsPath.c_str());
        if (number != row.expectedReturn)
            failure = " returned " + std::to_string(number) + ", expected " +
                      std::to_string(row.expectedReturn) + ";";
    } else {
        BOOL written = WritePrivateProfileStringA(row.section, row.key, row.text, windowsPath.c_str());
        if ((unsigned)written != row.expectedReturn)
            failure = " returned " + std::to_string(written) + ", expected " +
                      std::to_string(row.expectedReturn) + ";";
    }

    // A read leaves the file as it was; a write leaves exactly the expected bytes.
    const char* wanted = row.operation == WRITE_TEXT ? row.expected : row.initial;
    std::string bytes;
    bool exists = ReadBytes(localPath, &bytes);
    if (wanted == nullptr && exists)
        failure += " file " + Quote(bytes) + ", expected none;";
    else if (wanted != nullptr && !exists)
        failure += " no file, expected " + Quote(wanted, strlen(wanted)) + ";";
    else if (wanted != nullptr && bytes != wanted)
        failure += " file " + Quote(bytes) + ", expected " + Quote(wanted, strlen(wanted)) + ";";

    remove(localPath.c_str());
    return failure.empty() ? failure : prefix + failure;
}
