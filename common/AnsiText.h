// Wide text in the ANSI code page, for the byte-string interfaces that take it (the closed PDF
// library, Java argument files).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tarrow {

namespace detail {

inline std::string toAnsi(const std::wstring& text, bool* lossy) {
    if (text.empty())
        return std::string();
    const int length = static_cast<int>(text.size());
    // A UTF-8 code page takes every character and accepts neither the flag nor the check.
    if (GetACP() == CP_UTF8)
        lossy = nullptr;
    const DWORD flags = lossy ? WC_NO_BEST_FIT_CHARS : 0;
    const int size =
        WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(CP_ACP, flags, text.data(), length, &out[0], size, nullptr,
                        lossy ? &usedDefault : nullptr);
    if (lossy)
        *lossy = usedDefault != FALSE;
    return out;
}

} // namespace detail

// The text in the ANSI code page; nothing when a character has no exact counterpart there or
// the text holds a NUL (a file path or a name must never silently turn into another one).
inline std::optional<std::string> exactAnsi(const std::wstring& text) {
    bool lossy = false; // stays false where the code page takes every character
    std::string out = detail::toAnsi(text, &lossy);
    if (lossy || (out.empty() && !text.empty()) || out.find('\0') != std::string::npos)
        return std::nullopt;
    return out;
}

// The text in the ANSI code page, characters it lacks replaced by the system's default.
inline std::string lossyAnsi(const std::wstring& text) {
    return detail::toAnsi(text, nullptr);
}

} // namespace tarrow
