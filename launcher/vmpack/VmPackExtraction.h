// Unpacking a VM pack: the pack into a scratch folder beside it, then its "vm.zip" into the
// target folder.
#pragma once

#include <string>

namespace tarrow {

// True when both archives opened and every entry was written intact. The scratch folder beside
// the pack is emptied first. The VM is unpacked into a fresh folder beside `target` and moved
// into place only when complete: `target` then holds either the earlier VM or the new one whole,
// never a mix. An entry that cannot be read, is damaged or cannot be written fails the
// extraction; only an entry whose name leaves nothing inside the folder is skipped.
bool extractVmPack(const std::wstring& pack, const std::wstring& target);

// Deletes the scratch folder beside the pack with everything in it.
void removeScratchFolder(const std::wstring& pack);

// Deletes vm.zip and vm.properties in the folder, then the folder when it is empty.
void removeIntermediary(const std::wstring& folder);

} // namespace tarrow
