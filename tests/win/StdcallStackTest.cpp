// 32-bit only: every native of Helper.dll and Nettaro.dll, called as a 32-bit Java VM calls it
// (through its decorated stdcall name, with the arguments its Java declaration gives it), takes
// exactly its arguments off the stack. A native that took more or fewer would corrupt the VM's
// stack on return.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "FakeJni.h"
#include "JniLibraries.h"

using namespace tarrow::test;

// Calls `function` with `count` 32-bit words pushed as its arguments, on a 16-byte aligned stack;
// stores in *drift how far the stack pointer is from where it was before the arguments were
// pushed plus their size (0 when the callee popped exactly them). Returns EDX:EAX.
extern "C" std::uint64_t kivCallCountingStack(const void* function, const std::uint32_t* words,
                                              std::uint32_t count, std::int32_t* drift);
asm(R"(
    .text
    .globl _kivCallCountingStack
_kivCallCountingStack:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    andl $-16, %esp
    movl 16(%ebp), %ecx
    leal (,%ecx,4), %eax
    negl %eax
    andl $15, %eax
    subl %eax, %esp
    movl %esp, %esi
    movl 12(%ebp), %edx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edx,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    movl %esp, %ecx
    subl %esi, %ecx
    movl 20(%ebp), %edi
    movl %ecx, (%edi)
    leal -12(%ebp), %esp
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
)");

namespace {

template <typename Value> void appendWords(std::vector<std::uint32_t>& words, Value value) {
    std::uint32_t parts[(sizeof(Value) + 3) / 4] = {};
    std::memcpy(parts, &value, sizeof(Value));
    words.insert(words.end(), std::begin(parts), std::end(parts));
}

template <typename Value> struct Exactly {
    using type = Value;
};

// Calls the native with these arguments, of exactly its parameter types; returns how far the
// stack pointer moved.
template <typename Result, typename... Args>
std::int32_t stackDrift(Result(JNICALL* function)(Args...), typename Exactly<Args>::type... args) {
    std::vector<std::uint32_t> words;
    (appendWords(words, args), ...);
    std::int32_t drift = 0x7fffffff;
    kivCallCountingStack(reinterpret_cast<const void*>(function), words.data(),
                         static_cast<std::uint32_t>(words.size()), &drift);
    return drift;
}

jint __cdecl takesNothingOff(JNIEnv*, jclass, jint value) {
    return value;
}

} // namespace

TEST(Stdcall, TheMeasureSeesACallerCleanedFunction) {
    // A cdecl function leaves its three words on the stack: the measure must show them.
    using Typed = jint(JNICALL*)(JNIEnv*, jclass, jint);
    EXPECT_EQ(stackDrift(reinterpret_cast<Typed>(&takesNothingOff), static_cast<JNIEnv*>(nullptr),
                         jclass{}, jint{5}),
              -12);
}

TEST(Stdcall, EveryNativeTakesExactlyItsArgumentsOffTheStack) {
    NativeLibrary helper(L"Helper.dll");
    NativeLibrary nettaro(L"Nettaro.dll");
    ASSERT_TRUE(helper.loaded() && nettaro.loaded());
    FakeJni jni;
    JNIEnv* env = jni.env();
    const std::string print = kPrintHelper, instance = kInstanceHelper, ras = kRasDial;
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::string folder(temp, temp + wcslen(temp));
    const std::string missingPdf = folder + "kiv-no-such-file.pdf";
    const std::string lock = "TarrowStack" + std::to_string(GetCurrentProcessId());

    struct Call {
        std::string name;
        bool decorated;
        std::int32_t drift;
    };
    std::vector<Call> calls;
    // Looks the native up as the VM does and calls it, unless it is missing.
    auto check = [&](const NativeLibrary& library, const std::string& name, auto typed,
                     auto... args) {
        using Function = decltype(typed);
        const Function function = library.native<Function>(name);
        const std::string decorated =
            "_" + name + "@" + std::to_string(StdcallArgumentBytes<Function>::value);
        calls.push_back({name.substr(name.rfind('_') + 1), library.exports(decorated),
                         function ? stackDrift(function, args...) : 0x7fffffff});
    };
    const jclass none{};
    check(helper, print + "getPrinters", GetPrinters{}, env, none);
    check(helper, print + "getPrinterDriver", GetPrinterDriver{}, env, none,
          jni.string("No Such Printer"));
    check(helper, print + "print", Print{}, env, none, jni.string(missingPdf),
          jni.string("No Such Printer"), jint{1});
    check(helper, print + "printOverLayText", PrintOverlay{}, env, none, jni.string(missingPdf),
          jni.string("No Such Printer"), jni.string("text"), jint{1}, jint{10}, jint{20});
    check(helper, print + "getDiskSpace", DiskSpace{}, env, none, jni.string(folder));
    check(helper, print + "getAvailableDiskSpace", DiskSpace{}, env, none, jni.string(folder));
    check(helper, instance + "checkSingleInstance", CheckInstance{}, env, none, jni.string(lock));
    check(nettaro, ras + "isConnected", RasQuery{}, env, none);
    check(nettaro, ras + "DialUp", RasQuery{}, env, none);
    check(nettaro, ras + "HangUp", RasHangUp{}, env, none);

    ASSERT_EQ(calls.size(), 10u);
    for (const auto& call : calls) {
        EXPECT_TRUE(call.decorated) << call.name << " is not exported under its decorated name";
        EXPECT_EQ(call.drift, 0) << call.name;
    }
}
