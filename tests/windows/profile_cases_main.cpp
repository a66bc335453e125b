// The profile case table against the real GetPrivateProfileStringA, GetPrivateProfileIntA and
// WritePrivateProfileStringA. Usage: profile_cases.exe [folder]; without a folder, one is made in
// %TEMP%. Prints a line for each case that failed and a count at the end; exits with 1 on a failure.
//
// Under Wine a case flagged CASE_WINE_DIFFERS is expected to fail; it is listed, and counted as a
// failure only when it passes, so a flag that no longer holds is noticed.
#include "platform/win32.h"
#include "tests/support/profile_check.h"

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

std::string SamePath(const std::string& windowsPath)
{
    return windowsPath;
}

bool IsWine(void)
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    std::string folder;
    bool madeFolder = false;
    if (argc > 1) {
        folder = argv[1];
    } else {
        char temporary[MAX_PATH];
        DWORD length = GetTempPathA(MAX_PATH, temporary);
        if (length == 0 || length >= MAX_PATH) {
            printf("profile cases: no temporary folder\n");
            return 1;
        }
        folder = std::string(temporary) + "quorvane-profile-" + std::to_string(GetCurrentProcessId());
        madeFolder = CreateDirectoryA(folder.c_str(), nullptr) != 0;
        if (!madeFolder) {
            printf("profile cases: cannot make %s\n", folder.c_str());
            return 1;
        }
    }
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';

    bool wine = IsWine();
    int passed = 0, failed = 0, deviations = 0;
    for (const ProfileCase& row : PROFILE_CASES) {
        std::string failure = CheckProfileCase(row, folder, SamePath);
        if (wine && (row.flags & CASE_WINE_DIFFERS)) {
            if (failure.empty()) {
                printf("case %d: flagged as a Wine deviation, but Wine answers as Windows does\n", row.number);
                ++failed;
            } else {
                printf("known Wine deviation, %s\n", failure.c_str());
                ++deviations;
            }
        } else if (failure.empty()) {
            ++passed;
        } else {
            printf("%s\n", failure.c_str());
            ++failed;
        }
    }
    if (madeFolder)
        RemoveDirectoryA(folder.c_str());
    if (deviations > 0)
        printf("known Wine deviations: %d\n", deviations);
    printf("profile cases: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
