#include "platform/posix/paths.h"

#include <string.h>

bool ToPosixPath(const char* windowsPath, char posixPath[MAX_PATH])
{
    if (windowsPath == nullptr)
        return false;
    size_t length = strlen(windowsPath);
    if (length >= MAX_PATH)
        return false;
    for (size_t i = 0; i <= length; ++i)
        posixPath[i] = windowsPath[i] == '\\' ? '/' : windowsPath[i];
    return true;
}
