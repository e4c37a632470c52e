#include "VmPackExtraction.h"

#include <windows.h>

#include "FileSystem.h"
#include "PathString.h"
#include "Text.h"
#include "Trace.h"
#include "ZipReader.h"

namespace tarrow {

namespace {

// Extracts every entry; false when an entry's data was damaged.
bool extractAll(ZipReader& reader, const std::wstring& base) {
    ZipEntry count;
    if (reader.item(-1, count) != kZipOk)
        return false;
    reader.setBaseFolder(base);
    bool intact = true;
    long long extracted = 0, skipped = 0, damaged = 0; // for the trace
    for (std::int32_t index = 0; index < count.index; ++index) {
        ZipEntry entry;
        if (reader.item(index, entry) != kZipOk) {
            ++skipped;
            continue;
        }
        const ZipResult result = reader.extractItem(index, entry.name);
        if (result == kZipCorrupt)
            intact = false;
        ++(result == kZipOk ? extracted : result == kZipCorrupt ? damaged : skipped);
    }
    trace(L"entries into " + base + L": " + decimal(extracted) + L" extracted, " +
          decimal(skipped) + L" skipped, " + decimal(damaged) + L" damaged");
    return intact;
}

} // namespace

bool extractVmPack(const std::wstring& pack, const std::wstring& target) {
    const std::wstring scratch = parent(pack, L".") + L"\\downloadIntermediary";
    if (!exists(scratch))
        CreateDirectoryW(scratch.c_str(), nullptr);
    {
        std::unique_ptr<ZipReader> outer = ZipReader::open(pack);
        if (!outer || !extractAll(*outer, scratch))
            return false;
    }
    const std::wstring inner = scratch + L"\\vm.zip";
    if (!exists(inner))
        return false;
    {
        std::unique_ptr<ZipReader> vm = ZipReader::open(inner);
        if (!vm || !extractAll(*vm, target))
            return false;
    }
    removeIntermediary(scratch);
    return true;
}

void removeIntermediary(const std::wstring& folder) {
    DeleteFileW((folder + L"\\vm.zip").c_str());
    DeleteFileW((folder + L"\\vm.properties").c_str());
    RemoveDirectoryW(folder.c_str());
}

} // namespace tarrow
