// Names for the launcher's temporary files. Windows' own names ("kiv" and up to four hexadecimal
// digits, from GetTempFileNameW) come first; where Windows has none left, the launcher makes
// names of its own that cannot meet Windows' names. Platform-free: the file system is reached
// only through the two functions it is given.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarrow {

// What creating a file under a new name (CREATE_NEW) came to.
enum class NameAttempt { Created, Exists, Failed };

// How many of its own names the source tries before it gives up.
constexpr unsigned kOwnNameAttempts = 4096;

// `folder` (ending in "\"), "kiv", the sixteen hexadecimal digits of `number` and ".tmp": longer
// than any name Windows makes with that prefix, and still matched by "kiv*.tmp".
std::wstring ownTemporaryName(const std::wstring& folder, std::uint64_t number);

// The path of a new, empty file in `folder`: the one `windowsName` created, else the first of
// the launcher's own names from `seed` on (`seed`, `seed` + 1, ...) that `create` could create.
// Names that exist are passed over; any other failure, or kOwnNameAttempts names that all
// exist, gives nothing.
std::optional<std::wstring>
newTemporaryName(const std::wstring& folder, std::uint64_t seed,
                 const std::function<std::optional<std::wstring>()>& windowsName,
                 const std::function<NameAttempt(const std::wstring&)>& create);

} // namespace tarrow
