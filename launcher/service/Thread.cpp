#include "Thread.h"

#include <windows.h>

#include <process.h>

#include "UniqueHandle.h"

namespace tarrow {

namespace {

unsigned __stdcall threadBody(void* object) {
    static_cast<Thread*>(object)->run();
    return 0;
}

} // namespace

bool Thread::start() {
    UniqueHandle handle(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, threadBody, this, 0, nullptr)));
    return static_cast<bool>(handle);
}

} // namespace tarrow
