#include "tests/support/test_files.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

std::string MakeScratchFolder(const char* purpose)
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/quorvane-" + purpose + "-XXXXXX";
    char* made = mkdtemp(pattern.data());
    return made != nullptr ? std::string(made) + "/" : std::string();
}

bool FileExists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string GoldenPath(const char* name)
{
    return std::string(QUORVANE_GOLDEN_DIR) + "/" + name;
}

std::string CompareWithGolden(const std::string& bytes, const char* name)
{
    std::string path = GoldenPath(name);
    const char* update = getenv("QUORVANE_UPDATE_GOLDEN");
    if (update != nullptr && strcmp(update, "1") == 0)
        WriteWholeFile(path, bytes);
    if (!FileExists(path))
        return "no golden file " + path;
    std::string golden = ReadWholeFile(path);
    if (golden == bytes)
        return "";
    size_t line = 1, i = 0;
    while (i < golden.size() && i < bytes.size() && golden[i] == bytes[i]) {
        if (golden[i] == '\n')
            ++line;
        ++i;
    }
    return "differs from " + path + " at byte " + std::to_string(i) + ", line " + std::to_string(line);
}

std::string ToWindowsPath(const std::string& posixPath)
{
    std::string path = posixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string FromWindowsPath(const std::string& windowsPath)
{
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}
