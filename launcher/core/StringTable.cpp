#include "StringTable.h"

#include <windows.h>

#include <algorithm>
#include <optional>

#include "StringCache.h"
#include "Text.h"

namespace tarrow {

namespace {

constexpr int kStringBufferChars = 256;
constexpr int kStringsPerBlock = 16;

// Reads one string of the English table directly from its resource block; used when the
// user-interface language has a table that lacks the id.
std::optional<std::wstring> loadEnglish(HMODULE module, int id) {
    const WORD language = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    HRSRC info =
        FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / kStringsPerBlock + 1), language);
    if (!info)
        return std::nullopt;
    HGLOBAL loaded = LoadResource(module, info);
    const auto* data = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
    if (!data)
        return std::nullopt;
    const WCHAR* end = data + SizeofResource(module, info) / sizeof(WCHAR);
    for (int index = 0; data < end; ++index) {
        const WORD length = *data++;
        if (index == id % kStringsPerBlock) {
            if (length == 0 || data + length > end)
                return std::nullopt;
            return std::wstring(data, std::min<size_t>(length, kStringBufferChars - 1));
        }
        data += length;
    }
    return std::nullopt;
}

std::optional<std::wstring> loadString(int id) {
    HMODULE module = GetModuleHandleW(nullptr);
    wchar_t buffer[kStringBufferChars];
    const int length = LoadStringW(module, static_cast<UINT>(id), buffer, kStringBufferChars);
    if (length > 0)
        return std::wstring(buffer, static_cast<size_t>(length));
    return loadEnglish(module, id);
}

StringCache& cache() {
    static StringCache instance(loadString);
    return instance;
}

} // namespace

std::wstring getString(StringId id) {
    return cache().get(id);
}

std::wstring vmStartFailedMessage(unsigned long errorNumber) {
    // The translations hold one %d for the number, shown as a signed int as it always has been.
    std::wstring text = getString(kVmStartFailed);
    const size_t at = text.find(L"%d");
    if (at != std::wstring::npos)
        text.replace(at, 2, decimal(static_cast<int>(errorNumber)));
    return text;
}

} // namespace tarrow
