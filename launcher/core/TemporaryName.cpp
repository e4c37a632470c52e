#include "TemporaryName.h"

namespace tarrow {

std::wstring ownTemporaryName(const std::wstring& folder, std::uint64_t number) {
    static const wchar_t hex[] = L"0123456789ABCDEF";
    std::wstring name = folder + L"kiv";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += hex[(number >> shift) & 0xF];
    return name + L".tmp";
}

std::optional<std::wstring>
newTemporaryName(const std::wstring& folder, std::uint64_t seed,
                 const std::function<std::optional<std::wstring>()>& windowsName,
                 const std::function<NameAttempt(const std::wstring&)>& create) {
    if (auto name = windowsName())
        return name;
    for (unsigned attempt = 0; attempt < kOwnNameAttempts; ++attempt) {
        const std::wstring name = ownTemporaryName(folder, seed + attempt);
        switch (create(name)) {
        case NameAttempt::Created:
            return name;
        case NameAttempt::Exists:
            break;
        case NameAttempt::Failed:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace tarrow
