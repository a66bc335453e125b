// Runs one row of the profile case table against whichever profile functions the program is linked
// with: the POSIX layer in the unit tests, the real ones in the Windows build.
#pragma once

#include "tests/profile_cases.h"

#include <string>

// Turns the Windows path given to the profile functions into one the C library opens.
typedef std::string (*LocalPathFunction)(const std::string& windowsPath);

// Sets up the row's file in `windowsFolder` (ending in "\"), makes the call, compares, and removes
// the file again. Empty when everything matched; otherwise what did not, starting "case N:".
std::string CheckProfileCase(const ProfileCase& row, const std::string& windowsFolder,
                             LocalPathFunction toLocalPath);
