// Translated message texts from the executable's string table.
#pragma once

#include <string>

namespace tarrow {

// Ids of the translated texts.
enum StringId : int {
    kNoValidVm = 101,
    kPropertiesMissing = 102,
    kVmStartFailed = 103,
    kPropertiesInvalid = 104,
    kErrorPrefix = 110,
};

// The text of `id` in the user-interface language, loaded once per process. Where that
// language's table lacks the id, the English text is used. Raises StringTableException
// "invalid key" when no table has it.
std::wstring getString(StringId id);

// String 103 with the system error number filled in.
std::wstring vmStartFailedMessage(unsigned long errorNumber);

} // namespace tarrow
