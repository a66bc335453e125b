// Small file helpers for tests: scratch folders, whole-file reads and golden comparisons.
#pragma once

#include <string>

// A fresh, empty folder under the system's temporary folder, ending in "/".
std::string MakeScratchFolder(const char* purpose);
bool FileExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
std::string GoldenPath(const char* name);
// Compares bytes with a golden file; with QUORVANE_UPDATE_GOLDEN=1 set, rewrites the golden file.
// On a difference, the message names the first differing line.
std::string CompareWithGolden(const std::string& bytes, const char* name);
// Windows path of a POSIX one, as the plug-in writes it.
std::string ToWindowsPath(const std::string& posixPath);
std::string FromWindowsPath(const std::string& windowsPath);
