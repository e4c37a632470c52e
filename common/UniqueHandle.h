// One owner template for every kind of Windows resource, in the manner of WIL's unique_any:
// each kind is one line naming its handle type and the function that releases it. An owner
// releases its resource exactly once; it is created on the line that acquires the resource.
#pragma once

#include <windows.h>

#include <cstdio>
#include <type_traits>

namespace tarrow {

template <typename T, auto Release> class UniqueAny {
  public:
    UniqueAny() noexcept = default;
    explicit UniqueAny(T value) noexcept : value_(value) {}
    ~UniqueAny() { reset(); }

    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return isValid(value_); }

    // Gives up ownership without releasing.
    T release() noexcept {
        T value = value_;
        value_ = T{};
        return value;
    }

    // Releases the held resource (if any) and takes `value`.
    void reset(T value = T{}) noexcept {
        if (isValid(value_))
            Release(value_);
        value_ = value;
    }

    // Releases the held resource and returns the slot for an API that fills it.
    T* put() noexcept {
        reset();
        return &value_;
    }

  private:
    // Null, and for pointer handles also INVALID_HANDLE_VALUE, hold nothing.
    static bool isValid(T value) noexcept {
        if constexpr (std::is_pointer_v<T>)
            return value != nullptr && value != reinterpret_cast<T>(INVALID_HANDLE_VALUE);
        else
            return value != T{};
    }

    T value_{};
};

inline void releaseHeapBlock(void* block) noexcept {
    ::HeapFree(::GetProcessHeap(), 0, block);
}

inline void closeStdioFile(FILE* file) noexcept {
    std::fclose(file);
}

// Process, thread, file, event, semaphore, mapping and pipe handles.
using UniqueHandle = UniqueAny<HANDLE, &::CloseHandle>;
using UniqueRegistryKey = UniqueAny<HKEY, &::RegCloseKey>;
using UniqueModule = UniqueAny<HMODULE, &::FreeLibrary>;
using UniqueLocalMemory = UniqueAny<HLOCAL, &::LocalFree>;
// The argument array of CommandLineToArgvW.
using UniqueArgumentList = UniqueAny<LPWSTR*, &::LocalFree>;
// A block of the process heap.
using UniqueHeapBlock = UniqueAny<void*, &releaseHeapBlock>;
using UniqueEnvironmentBlock = UniqueAny<wchar_t*, &::FreeEnvironmentStringsW>;
using UniqueMappedView = UniqueAny<void*, &::UnmapViewOfFile>;
using UniqueStdioFile = UniqueAny<FILE*, &closeStdioFile>;
// A directory listing of FindFirstFileExW.
using UniqueFindHandle = UniqueAny<HANDLE, &::FindClose>;

} // namespace tarrow
