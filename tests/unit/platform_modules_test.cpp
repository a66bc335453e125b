// Module look-ups of the POSIX platform: by name, by address, the file name with "\", references.
#include "platform/win32.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <dlfcn.h>
#include <string.h>
#include <unistd.h>

#include <string>

namespace {

std::string ReadExecutablePath(void)
{
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, (size_t)length) : std::string();
}

std::string ReadModuleFileName(HMODULE module)
{
    char path[4096];
    DWORD length = GetModuleFileNameA(module, path, sizeof path);
    return std::string(path, length);
}

HMODULE FindModuleOf(const void* address)
{
    HMODULE module = nullptr;
    EXPECT_TRUE(GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, (LPCSTR)address,
        &module));
    return module;
}

TEST(PlatformModules, NullNameIsTheMainProgram)
{
    HMODULE main = GetModuleHandleA(nullptr);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(main, FindModuleOf((const void*)&ReadExecutablePath));
    HMODULE byNull = nullptr;
    EXPECT_TRUE(GetModuleHandleExA(0, nullptr, &byNull));
    EXPECT_EQ(main, byNull);
    // A name without an extension means a ".dll"; a trailing "." says there is none.
    EXPECT_EQ(main, GetModuleHandleA("UNIT_TESTS."));
    EXPECT_EQ(nullptr, GetModuleHandleA("unit_tests"));
}

struct FileNameCase {
    int row;
    int sizeAgainstLength;   // buffer size minus the path's length
    int result;              // against the path's length
    int kept;                // characters of the path copied, against its length
};

const FileNameCase FILE_NAME_CASES[] = {
    {1, 100, 0, 0},
    {2, 1, 0, 0},            // exact fit
    {3, 0, 0, -1},           // one short: cut, terminated, and the size as the result
};

TEST(PlatformModules, FileNameOfTheProgramHasBackslashes)
{
    std::string expected = ToWindowsPath(ReadExecutablePath());
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ('\\', expected[0]);
    int length = (int)expected.size();
    for (const FileNameCase& c : FILE_NAME_CASES) {
        SCOPED_TRACE(c.row);
        char path[4200];
        memset(path, 'P', sizeof path);
        DWORD size = (DWORD)(length + c.sizeAgainstLength);
        EXPECT_EQ((DWORD)(length + c.result), GetModuleFileNameA(nullptr, path, size));
        EXPECT_EQ(expected.substr(0, (size_t)(length + c.kept)), std::string(path));
        EXPECT_EQ('P', path[length + c.kept + 1]); // nothing written past the terminator
    }
    char path[8];
    memset(path, 'P', sizeof path);
    EXPECT_EQ(1u, GetModuleFileNameA(nullptr, path, 1));
    EXPECT_EQ('\0', path[0]);
    EXPECT_EQ(0u, GetModuleFileNameA(nullptr, path, 0));
    EXPECT_EQ('P', path[1]);
}

TEST(PlatformModules, PlatformLibraryIsFoundByNameIgnoringCaseAndByAddress)
{
    HMODULE library = GetModuleHandleA("LIBWINPLATFORM.SO");
    ASSERT_NE(nullptr, library);
    EXPECT_NE(GetModuleHandleA(nullptr), library);
    EXPECT_EQ(library, FindModuleOf((const void*)&SetEvent));
    std::string path = ReadModuleFileName(library);
    ASSERT_GT(path.size(), strlen("\\libwinplatform.so"));
    EXPECT_EQ("\\libwinplatform.so", path.substr(path.size() - strlen("\\libwinplatform.so")));
    EXPECT_EQ(std::string::npos, path.find('/'));
    EXPECT_EQ(library, GetModuleHandleA(path.c_str())); // a full Windows path names it too
    EXPECT_EQ(nullptr, GetModuleHandleA("NoSuchLibrary.dll"));
    EXPECT_EQ(0u, ReadModuleFileName((HMODULE)&path).size()); // not a module's base
}

// Without a reference of its own the caller sees the library go with its last dlclose.
TEST(PlatformModules, ProbeLibraryIsFoundUnderItsWindowsName)
{
    void* loaded = dlopen(QUORVANE_PROBE_MODULE, RTLD_NOW);
    ASSERT_NE(nullptr, loaded) << dlerror();
    HMODULE module = GetModuleHandleA("probemodule.dll");
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(module, GetModuleHandleA("PROBEMODULE"));
    void* answer = dlsym(loaded, "ProbeModuleAnswer");
    ASSERT_NE(nullptr, answer);
    EXPECT_EQ(module, FindModuleOf(answer));
    EXPECT_EQ(ToWindowsPath(QUORVANE_PROBE_MODULE), ReadModuleFileName(module));
    dlclose(loaded);
    EXPECT_EQ(nullptr, GetModuleHandleA("ProbeModule.dll"));
}

// A reference taken by address pins the library for good, as a late worker needs. Pinned copies
// cannot go, so each run pins a fresh copy of its own.
TEST(PlatformModules, ReferenceByAddressKeepsTheLibraryLoaded)
{
    std::string copy = MakeScratchFolder("module") + "PinnedProbe.Dll";
    WriteWholeFile(copy, ReadWholeFile(QUORVANE_PROBE_MODULE));
    void* loaded = dlopen(copy.c_str(), RTLD_NOW);
    ASSERT_NE(nullptr, loaded) << dlerror();
    void* answer = dlsym(loaded, "ProbeModuleAnswer");
    ASSERT_NE(nullptr, answer);
    HMODULE held = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)answer, &held));
    EXPECT_EQ(GetModuleHandleA(ToWindowsPath(copy).c_str()), held);
    EXPECT_TRUE(FreeLibrary(held));
    dlclose(loaded);
    EXPECT_EQ(held, GetModuleHandleA(ToWindowsPath(copy).c_str()));
    EXPECT_EQ(42, ((int (*)(void))answer)());
}

TEST(PlatformModules, ContradictoryFlagsAndUnknownAddressesFail)
{
    HMODULE module = (HMODULE)&module;
    EXPECT_FALSE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    nullptr, &module));
    EXPECT_EQ(nullptr, module);
    module = (HMODULE)&module;
    EXPECT_FALSE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)&module, &module));
    EXPECT_EQ(nullptr, module); // a stack address belongs to no module
    EXPECT_FALSE(GetModuleHandleExA(0, "NoSuchLibrary.dll", &module));
    EXPECT_FALSE(FreeLibrary(nullptr));
}

} // namespace
