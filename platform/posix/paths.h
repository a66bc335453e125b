// The plug-in speaks Windows paths; the file system here wants "/".
#pragma once

#include "platform/win32.h"

// Copies a Windows path with "\" turned into "/". False when it does not fit or the ANSI file
// functions would refuse it (MAX_PATH characters or more).
bool ToPosixPath(const char* windowsPath, char posixPath[MAX_PATH]);
