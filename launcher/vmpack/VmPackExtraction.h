// Unpacking a VM pack: the pack into a scratch folder beside it, then its "vm.zip" into the
// target folder.
#pragma once

#include <string>

namespace tarrow {

struct EarlyEntries;

// True when both archives opened and every entry was written intact. The scratch folder beside
// the pack is emptied first. The VM is unpacked into a fresh folder beside `target` and moved
// into place only when complete: `target` then holds either the earlier VM or the new one whole,
// never a mix. An entry that cannot be read, is damaged or cannot be written fails the
// extraction; only an entry whose name leaves nothing inside the folder is skipped. Entries
// of a stored vm.zip that `early` wrote into that fresh folder as the pack arrived are kept
// when the archive's directory has them alike; when it has any of them otherwise, the folder
// is emptied and every entry written again.
bool extractVmPack(const std::wstring& pack, const std::wstring& target,
                   const EarlyEntries* early = nullptr);

// Deletes the folder and everything in it, read-only files included; true when nothing is left
// at its place. A link, at the folder's place or inside it, loses only the link.
bool removeTree(const std::wstring& folder);

// A new, empty folder at `folder`, whatever was there before; false when it cannot be had.
bool freshFolder(const std::wstring& folder);

// Deletes the scratch folder beside the pack with everything in it.
void removeScratchFolder(const std::wstring& pack);

// Deletes vm.zip and vm.properties in the folder, then the folder when it is empty.
void removeIntermediary(const std::wstring& folder);

} // namespace tarrow
