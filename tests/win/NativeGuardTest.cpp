// The guard every native runs in: C++ exceptions and processor faults in guarded code end in
// the failure value; faults anywhere else, and after the library is gone, reach the handlers
// that come after it untouched.
#include <windows.h>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "JniLibraries.h"
#include "NativeGuard.h"
#include "UniqueHandle.h"
#include "TestTime.h"

using tarrow::guarded;
using tarrow::UniqueHandle;
using tarrow::test::scaledMilliseconds;

namespace {

volatile int* volatile nowhere = nullptr;

// A handler of the test's own, called after every other one: it ends a faulting thread that
// the test marked, as the Java VM ends a thread it recovers from in its own way.
DWORD g_markedThread = 0;
LONG g_faultsSeen = 0;

[[noreturn]] void endMarkedThread() {
    ExitThread(42);
}

LONG CALLBACK lastHandler(EXCEPTION_POINTERS* info) {
    if (GetCurrentThreadId() != g_markedThread ||
        info->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION)
        return EXCEPTION_CONTINUE_SEARCH;
    InterlockedIncrement(&g_faultsSeen);
#ifdef _WIN64
    info->ContextRecord->Rsp = (info->ContextRecord->Rsp & ~DWORD64{15}) - 8;
    info->ContextRecord->Rip = reinterpret_cast<DWORD64>(&endMarkedThread);
#else
    info->ContextRecord->Esp = (info->ContextRecord->Esp & ~DWORD{15}) - 4;
    info->ContextRecord->Eip = reinterpret_cast<DWORD>(&endMarkedThread);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

class LastHandler {
  public:
    LastHandler() : handle_(AddVectoredExceptionHandler(0, lastHandler)) { g_faultsSeen = 0; }
    ~LastHandler() { RemoveVectoredExceptionHandler(handle_); }

  private:
    void* handle_;
};

DWORD WINAPI faultingThread(void*) {
    g_markedThread = GetCurrentThreadId();
    *nowhere = 1;
    return 0;
}

// Runs a thread that faults in this program's code without a guard; its exit code.
DWORD faultOnAnotherThread() {
    UniqueHandle thread(CreateThread(nullptr, 0, faultingThread, nullptr, 0, nullptr));
    EXPECT_EQ(WaitForSingleObject(thread.get(), scaledMilliseconds(30000)), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread.get(), &code);
    return code;
}

} // namespace

TEST(NativeGuard, ExceptionsAndFaultsEndInTheFailureValue) {
    EXPECT_EQ(guarded<int>(-1, []() -> int { throw std::bad_alloc(); }), -1);
    EXPECT_EQ(guarded<int>(-2, []() -> int { throw std::runtime_error("x"); }), -2);
    EXPECT_EQ(guarded<int>(-3, []() -> int { throw 7; }), -3);
    EXPECT_EQ(guarded<int>(-4, []() -> int { return *nowhere; }), -4);
    // Nested guards: the inner one takes its fault, the outer one goes on.
    EXPECT_EQ(guarded<int>(-5, [] { return guarded<int>(6, [] { return *nowhere; }) + 1; }), 7);
    EXPECT_EQ(guarded<int>(-1, [] { return 8; }), 8);
}

TEST(NativeGuard, FaultOnAThreadOutsideTheGuardIsLeftToOtherHandlers) {
    LastHandler last;
    // This thread is inside a guard while the other one faults.
    const DWORD code = guarded<DWORD>(0, [] { return faultOnAnotherThread(); });
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(g_faultsSeen, 1);
}

TEST(NativeGuard, UnloadedLibraryLeavesNoHandlerBehind) {
    {
        tarrow::test::NativeLibrary helper(L"Helper.dll");
        auto check = helper.native<tarrow::test::DiskSpace>(
            std::string(tarrow::test::kPrintHelper) + "getDiskSpace");
        ASSERT_TRUE(check);
        // A native ran, so the library's guard was in use.
        EXPECT_EQ(check(nullptr, nullptr, nullptr), 0);
    }
    ASSERT_EQ(GetModuleHandleW(L"Helper.dll"), nullptr);
    LastHandler last;
    EXPECT_EQ(faultOnAnotherThread(), 42u);
    EXPECT_EQ(g_faultsSeen, 1);
}
