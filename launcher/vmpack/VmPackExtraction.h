// Unpacking a VM pack: the pack into a scratch folder beside it, then its "vm.zip" into the
// target folder.
#pragma once

#include <string>

namespace tarrow {

// True when both archives opened and every entry that could be created was written intact.
// A damaged entry makes the extraction fail; an entry whose file cannot be created (such as a
// read-only file already there) is skipped.
bool extractVmPack(const std::wstring& pack, const std::wstring& target);

// Deletes vm.zip and vm.properties in the folder, then the folder when it is empty.
void removeIntermediary(const std::wstring& folder);

} // namespace tarrow
