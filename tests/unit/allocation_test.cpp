// The capture path takes nothing from the heap: a detail step and a channel change, once warmed up,
// make no allocation at all, counted at the C library's allocator (which operator new uses too),
// across the plug-in, the platform and the stand-in core.
#include "capture/channel_change.h"
#include "capture/detail_step.h"
#include "platform/posix/platform_control.h"
#include "tests/support/capture_fixture.h"
#include "tests/support/test_files.h"

#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <string>

// Every allocation of the whole program is counted while `counting` is on. Under ASan or TSan the
// sanitizer owns the allocator and reports each allocation to a hook; otherwise this program's own
// malloc family stands in front of the C library's.
namespace {
std::atomic<bool> counting;
std::atomic<long> allocations;

void CountAllocation(void)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUORVANE_SANITIZER_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUORVANE_SANITIZER_ALLOCATOR 1
#endif

#ifdef QUORVANE_SANITIZER_ALLOCATOR
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
namespace {
void OnSanitizerMalloc(const volatile void*, size_t) { CountAllocation(); }
void OnSanitizerFree(const volatile void*) {}
void InstallAllocationCounter(void)
{
    static bool installed = __sanitizer_install_malloc_and_free_hooks(OnSanitizerMalloc, OnSanitizerFree) != 0;
    (void)installed;
}
} // namespace
#else
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

void* malloc(size_t size) noexcept
{
    CountAllocation();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) noexcept
{
    CountAllocation();
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) noexcept
{
    CountAllocation();
    return __libc_realloc(block, size);
}

void free(void* block) noexcept
{
    __libc_free(block);
}
} // extern "C"
namespace {
void InstallAllocationCounter(void) {}
} // namespace
#endif

namespace {

const uint32_t ALPHA = 0x00010002;

// The allocations made by `run` on every thread.
template <typename Run> long CountAllocations(Run run)
{
    InstallAllocationCounter();
    allocations = 0;
    counting = true;
    run();
    counting = false;
    return allocations.load();
}

class AllocationTest : public CaptureFixture {
protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
        ASSERT_NE(nullptr, timer);
        captureState.running = 1;
        captureState.delayTimer = timer;
        StandinSetNetworkId(1);
        StandinSetChannel(0, 2, "Alpha TV");
        StandinSetCurrentChannel(0);
        // Warm-up: whatever the C library sets up once (the time zone, the first file) is done here.
        OnChannelChange();
        Step();
    }
    void TearDown() override
    {
        CloseHandle(timer);
        CaptureFixture::TearDown();
    }

    bool Step() { return WriteDetail(captureState.workerGeneration, timer); }

    HANDLE timer = nullptr;
};

TEST_F(AllocationTest, CounterSeesMallocAndNew)
{
    long counted = CountAllocations([] {
        void* volatile block = malloc(16);
        free(block);
        int* volatile number = new int(7);
        delete number;
    });
    EXPECT_EQ(2, counted);
}

TEST_F(AllocationTest, ChannelChangeAllocatesNothing)
{
    StandinSetChannel(1, 3, "Beta TV");
    StandinSetCurrentChannel(1);
    EXPECT_EQ(0, CountAllocations([] { OnChannelChange(); }));
    EXPECT_EQ(0x00010003u, captureState.liveEvent.nidsid); // the change did its work
}

// The steps that do the most: an event's detail, a placeholder, a superseded placeholder (a
// deletion), the alternative names, and a file that cannot be created.
enum StepKind { EVENT_DETAIL, PLACEHOLDER_DETAIL, SUPERSEDING_DETAIL, ALTERNATIVE_NAMES, UNWRITABLE_FOLDER };

struct StepCase {
    int row;
    StepKind kind;
    bool written;
};

const StepCase STEP_CASES[] = {
    {1, EVENT_DETAIL, true},
    {2, PLACEHOLDER_DETAIL, true},
    {3, SUPERSEDING_DETAIL, true},
    {4, ALTERNATIVE_NAMES, true},
    {5, UNWRITABLE_FOLDER, false},
};

TEST_F(AllocationTest, DetailStepAllocatesNothing)
{
    for (const StepCase& c : STEP_CASES) {
        SCOPED_TRACE(c.row);
        TimeValue now = ReadClock();
        StandinEvent failure = {};
        failure.result = 1;
        StandinSetEpg(ALPHA, failure);
        captureState.changePending = 1;
        switch (c.kind) {
        case EVENT_DETAIL:
            StandinSetEpg(ALPHA, StandinEventOf(now - 600, 1800, 1, "News", "Headlines", "The day's news."));
            break;
        case PLACEHOLDER_DETAIL:
            break;
        case SUPERSEDING_DETAIL:
            Step(); // a placeholder, which the event's detail then replaces
            ASSERT_TRUE(FileExists(FromWindowsPath(captureState.lastDetailPath)));
            StandinSetEpg(ALPHA, StandinEventOf(now - 600, 1800, 1, "News", "", ""));
            break;
        case ALTERNATIVE_NAMES:
            settings.AltFileNaming = 1;
            StandinSetEpg(ALPHA, StandinEventOf(now - 600, 1800, 1, "Film", "", ""));
            break;
        case UNWRITABLE_FOLDER:
            strcpy(settings.FileName, (ToWindowsPath(folder) + "missing\\").c_str());
            break;
        }
        std::string before = captureState.lastDetailPath;
        bool written = false;
        EXPECT_EQ(0, CountAllocations([&] { written = Step(); }));
        EXPECT_EQ(c.written, written);
        if (c.kind == SUPERSEDING_DETAIL) {
            EXPECT_FALSE(FileExists(FromWindowsPath(before)));
        }
        settings.AltFileNaming = 0;
        UseDefaultSettings();
        AdvanceManualClock(3600 * 10000000LL);
    }
}

} // namespace
