// Allocation failures and unexpected exceptions inside libvarda.so: the caller gets 56 or 57,
// one line is logged, and nothing is left half done.
//
// This program replaces the global operator new. Once armed for allocation N, the Nth allocation
// made directly by code inside libvarda.so from then on throws (std::bad_alloc, or another
// exception); every other allocation is served by malloc. The tests fail allocation 1, 2, ...
// of a call until the call gets through, so every allocation on its path is tried.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <dlfcn.h>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "recorder.h"
#include "test_support.h"
#include "testing/master_records.h"
#include "varda_api.h"

namespace {

enum class Failure { None, BadAlloc, Other };
std::atomic<Failure> armed{Failure::None};
std::atomic<int> countdown{0};  // allocations inside libvarda.so until the armed one

bool FromVarda(void* caller) {
    Dl_info info{};
    if (::dladdr(caller, &info) == 0 || info.dli_fname == nullptr) return false;
    const char* base = std::strrchr(info.dli_fname, '/');
    // libvarda.so, or its versioned file libvarda.so.1...
    const std::string_view name(base != nullptr ? base + 1 : info.dli_fname);
    return name == "libvarda.so" || name.rfind("libvarda.so.", 0) == 0;
}

void* Allocate(std::size_t size, void* caller) {
    if (armed.load(std::memory_order_relaxed) != Failure::None && FromVarda(caller) && countdown.fetch_sub(1) == 1) {
        const Failure failure = armed.exchange(Failure::None);
        if (failure == Failure::BadAlloc) throw std::bad_alloc();
        if (failure == Failure::Other) throw std::runtime_error("injected");
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size, __builtin_return_address(0)); }
void* operator new[](std::size_t size) { return Allocate(size, __builtin_return_address(0)); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using vardatest::InstallDevice;
using vardatest::LogLines;
using vardatest::NewDeviceType;

const VARDA_INIT_PARAM kParam = testkit::InitParam(1);

// Makes the `n`th allocation inside libvarda.so from now on fail.
void Arm(Failure failure, int n) {
    countdown = n;
    armed = failure;
}

// True when the armed allocation was reached (and failed); disarms.
bool Fired() { return armed.exchange(Failure::None) == Failure::None; }

struct FailureKind {
    Failure failure;
    uint32_t code;
    const char* text;
};
const FailureKind kKinds[] = {{Failure::BadAlloc, VARDA_ERR_NO_MEMORY, "Insufficient memory"},
                              {Failure::Other, VARDA_ERR_INTERNAL, "Unknown exception occur"}};
constexpr int kMostAllocations = 1000;

int CountOf(const std::string& library, const std::string& function) {
    int n = 0;
    for (const auto& call : devrec::Calls(library)) n += call.function == function ? 1 : 0;
    return n;
}

std::vector<std::string> Functions(const std::string& library) {
    std::vector<std::string> names;
    for (const auto& call : devrec::Calls(library)) names.push_back(call.function);
    return names;
}

void ExpectOneLine(const std::string& label, const std::string& text) {
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].label, label);
    EXPECT_EQ(lines[0].text, text);
}

TEST(VardaFailures, FailuresWhileLoadingGive56Or57AndAreRetried) {
    struct Case {
        Failure failure;
        uint32_t code;
        const char* text;
    };
    for (const Case& c : {Case{Failure::BadAlloc, VARDA_ERR_NO_MEMORY, "Insufficient memory"},
                          Case{Failure::Other, VARDA_ERR_INTERNAL, "Unknown exception occur"}}) {
        const uint32_t type = NewDeviceType();
        const std::string library = InstallDevice("complete", type);
        vardatest::ClearLog();
        Arm(c.failure, 1);
        EXPECT_EQ(VARDA_Open(type, 0, 0), c.code);
        EXPECT_EQ(armed.load(), Failure::None) << "no allocation inside libvarda.so";
        ExpectOneLine("VARDA_Open()", c.text);
        EXPECT_EQ(devrec::LoadCount(library), 0);
        // The lock was released and nothing was entered: the next call loads the library.
        EXPECT_EQ(VARDA_Open(type, 0, 0), VARDA_OK);
        EXPECT_EQ(devrec::LoadCount(library), 1);
    }
}

TEST(VardaFailures, AnOpenThatCannotBeRecordedIsUndone) {
    const uint32_t type = NewDeviceType();
    const std::string library = InstallDevice("complete", type);
    ASSERT_EQ(VARDA_Open(type, 0, 0), VARDA_OK);
    vardatest::ClearLog();
    Arm(Failure::BadAlloc, 1);
    EXPECT_EQ(VARDA_Open(type, 1, 0), VARDA_ERR_NO_MEMORY);
    EXPECT_EQ(armed.load(), Failure::None);
    ExpectOneLine("VARDA_Open()", "Insufficient memory");
    VARDA_BOARD_INFO info{};
    EXPECT_EQ(VARDA_ReadBoardInfo(type, 1, &info), VARDA_ERR_NOT_OPEN);
    // The device library closed the device again, so it opens normally now.
    EXPECT_EQ(VARDA_Open(type, 1, 0), VARDA_OK);
    EXPECT_EQ(Functions(library), (std::vector<std::string>{"VARDA_Open", "VARDA_Open", "VARDA_Close", "VARDA_Open"}));
}

TEST(VardaFailures, AnInitThatCannotBeRecordedIsUndone) {
    const uint32_t type = NewDeviceType();
    const std::string library = InstallDevice("complete", type);
    ASSERT_EQ(VARDA_Open(type, 0, 0), VARDA_OK);
    vardatest::ClearLog();
    uint32_t handle = 0;
    Arm(Failure::BadAlloc, 1);
    EXPECT_EQ(VARDA_Init(type, 0, 0, &kParam, &handle), VARDA_ERR_NO_MEMORY);
    EXPECT_EQ(armed.load(), Failure::None);
    EXPECT_EQ(handle, VARDA_INVALID_HANDLE);
    ExpectOneLine("VARDA_Init()", "Insufficient memory");
    const auto calls = devrec::Calls(library);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].function, "VARDA_Uninit");
    EXPECT_EQ(calls[2].args, (std::vector<uint64_t>{0x5A000000u}));
    // No channel is left behind: the same channel initialises again.
    EXPECT_EQ(VARDA_Init(type, 0, 0, &kParam, &handle), VARDA_OK);
    EXPECT_EQ(VARDA_Online(handle), VARDA_OK);
}

// Calls `call` with allocation 1, 2, ... inside libvarda.so failing, until a call gets through
// without reaching the failing allocation. `prepare` runs before each call; each failed call must
// give the kind's code and log line under `label`, and pass `check`.
void FailEveryAllocation(const FailureKind& kind, const char* label, const std::function<void()>& prepare,
                         const std::function<uint32_t()>& call, const std::function<void()>& check) {
    int n = 1;
    for (; n <= kMostAllocations; ++n) {
        SCOPED_TRACE(std::string(label) + ", allocation " + std::to_string(n));
        prepare();
        vardatest::ClearLog();
        Arm(kind.failure, n);
        const uint32_t rc = call();
        if (!Fired()) {
            EXPECT_EQ(rc, VARDA_OK);
            break;
        }
        EXPECT_EQ(rc, kind.code);
        ExpectOneLine(label, kind.text);
        check();
    }
    EXPECT_GT(n, 1) << label << " allocates";
    EXPECT_LE(n, kMostAllocations);
}

// Every allocation of a first VARDA_Open (registry, loading, the device record) fails in turn:
// each failure leaves the device closed and openable.
TEST(VardaFailures, EveryAllocationOfAFirstOpenFailsCleanly) {
    for (const FailureKind& kind : kKinds) {
        uint32_t type = 0;
        std::string library;
        FailEveryAllocation(
            kind, "VARDA_Open()",
            [&] {
                vardatest::WriteRegistry("");  // the registry names this one type only: the same work each time
                type = NewDeviceType();
                library = InstallDevice("complete", type);
            },
            [&] { return VARDA_Open(type, 0, 0); },
            [&] {
                EXPECT_EQ(VARDA_Open(type, 0, 0), VARDA_OK) << "nothing was left open";
                EXPECT_EQ(CountOf(library, "VARDA_Open") - CountOf(library, "VARDA_Close"), 1);
                EXPECT_EQ(VARDA_Close(type, 0), VARDA_OK);
            });
    }
}

// The same for an open and an initialisation on a library already loaded.
TEST(VardaFailures, EveryAllocationOfOpenAndInitFailsCleanly) {
    for (const FailureKind& kind : kKinds) {
        const uint32_t type = NewDeviceType();
        const std::string library = InstallDevice("complete", type);
        ASSERT_EQ(VARDA_Open(type, 0, 0), VARDA_OK);
        FailEveryAllocation(
            kind, "VARDA_Open()", [] {}, [&] { return VARDA_Open(type, 1, 0); },
            [&] {
                VARDA_BOARD_INFO info{};
                EXPECT_EQ(VARDA_ReadBoardInfo(type, 1, &info), VARDA_ERR_NOT_OPEN);
            });

        uint32_t handle = 0;
        FailEveryAllocation(
            kind, "VARDA_Init()", [&] { handle = 0; }, [&] { return VARDA_Init(type, 0, 0, &kParam, &handle); },
            [&] {
                EXPECT_EQ(handle, VARDA_INVALID_HANDLE);
                EXPECT_EQ(CountOf(library, "VARDA_Init"), CountOf(library, "VARDA_Uninit")) << "no channel left behind";
            });
        EXPECT_EQ(VARDA_Uninit(handle), VARDA_OK);
    }
}

}  // namespace
