// One owner type per kind of Windows resource: each is released exactly once, by its owner.
#pragma once

#include <windows.h>

#include <cstdio>

namespace tarrow {

template <typename T, typename Traits> class UniqueResource {
  public:
    UniqueResource() noexcept : value_(Traits::invalid()) {}
    explicit UniqueResource(T value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return Traits::isValid(value_); }

    // Gives up ownership without releasing.
    T release() noexcept {
        T value = value_;
        value_ = Traits::invalid();
        return value;
    }

    // Releases the held resource (if any) and takes `value`.
    void reset(T value = Traits::invalid()) noexcept {
        if (Traits::isValid(value_))
            Traits::close(value_);
        value_ = value;
    }

    // Releases the held resource and returns the slot for an API that fills it.
    T* put() noexcept {
        reset();
        return &value_;
    }

  private:
    T value_;
};

struct KernelHandleTraits {
    static HANDLE invalid() noexcept { return nullptr; }
    static bool isValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};

struct RegistryKeyTraits {
    static HKEY invalid() noexcept { return nullptr; }
    static bool isValid(HKEY h) noexcept { return h != nullptr; }
    static void close(HKEY h) noexcept { ::RegCloseKey(h); }
};

struct ModuleTraits {
    static HMODULE invalid() noexcept { return nullptr; }
    static bool isValid(HMODULE h) noexcept { return h != nullptr; }
    static void close(HMODULE h) noexcept { ::FreeLibrary(h); }
};

struct LocalMemoryTraits {
    static HLOCAL invalid() noexcept { return nullptr; }
    static bool isValid(HLOCAL h) noexcept { return h != nullptr; }
    static void close(HLOCAL h) noexcept { ::LocalFree(h); }
};

struct ProcessHeapTraits {
    static void* invalid() noexcept { return nullptr; }
    static bool isValid(void* block) noexcept { return block != nullptr; }
    static void close(void* block) noexcept { ::HeapFree(::GetProcessHeap(), 0, block); }
};

struct EnvironmentBlockTraits {
    static wchar_t* invalid() noexcept { return nullptr; }
    static bool isValid(wchar_t* block) noexcept { return block != nullptr; }
    static void close(wchar_t* block) noexcept { ::FreeEnvironmentStringsW(block); }
};

struct MappedViewTraits {
    static void* invalid() noexcept { return nullptr; }
    static bool isValid(void* view) noexcept { return view != nullptr; }
    static void close(void* view) noexcept { ::UnmapViewOfFile(view); }
};

struct StdioFileTraits {
    static FILE* invalid() noexcept { return nullptr; }
    static bool isValid(FILE* f) noexcept { return f != nullptr; }
    static void close(FILE* f) noexcept { std::fclose(f); }
};

// Process, thread, file, event, semaphore, mapping and pipe handles.
using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using UniqueRegistryKey = UniqueResource<HKEY, RegistryKeyTraits>;
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;
using UniqueLocalMemory = UniqueResource<HLOCAL, LocalMemoryTraits>;
// A block of the process heap.
using UniqueHeapBlock = UniqueResource<void*, ProcessHeapTraits>;
using UniqueEnvironmentBlock = UniqueResource<wchar_t*, EnvironmentBlockTraits>;
using UniqueMappedView = UniqueResource<void*, MappedViewTraits>;
using UniqueStdioFile = UniqueResource<FILE*, StdioFileTraits>;

} // namespace tarrow
