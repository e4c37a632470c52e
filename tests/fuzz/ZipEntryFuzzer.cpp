// ZIP entry fields from a downloaded pack: a cleaned name is always a relative path inside the
// base folder; the "UT" extra field is read within its bounds (the fuzzer hands over a buffer
// of exactly its size, so any read beyond it is a finding); times are always representable.
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "Text.h"
#include "ZipEntryName.h"

using tarrow::fuzz::require;

namespace {

std::uint32_t word(const std::uint8_t* data, size_t size, size_t at) {
    std::uint32_t value = 0;
    for (size_t k = 0; k < 4; ++k)
        value |= static_cast<std::uint32_t>(at + k < size ? data[at + k] : 0) << (8 * k);
    return value;
}

void checkName(const std::wstring& stored) {
    std::wstring name = tarrow::cleanEntryName(stored);
    if (!name.empty() && name.back() == L'\\')
        name.pop_back(); // a folder entry keeps its trailing separator
    if (name.empty())
        return;
    require(name.find(L'/') == std::wstring::npos, "separators become backslashes");
    require(!(name.size() >= 2 && name[1] == L':'), "no drive prefix");
    require(name[0] != L'\\', "no root");
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find(L'\\', start);
        if (end == std::wstring::npos)
            end = name.size();
        const std::wstring step = name.substr(start, end - start);
        require(!step.empty() && step != L"." && step != L"..", "no empty, current or parent step");
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::uint32_t madeBy = word(data, size, 0);
    const std::uint32_t external = word(data, size, 4);
    const std::uint32_t dosTime = word(data, size, 8);
    tarrow::entryAttributes(madeBy, external);

    const tarrow::DosDateTime t = tarrow::decodeDosDateTime(dosTime);
    require(t.year >= 1980 && t.year <= 2107 && t.month >= 0 && t.month <= 15 && t.day >= 0 &&
                t.day <= 31 && t.hour >= 0 && t.hour <= 31 && t.minute >= 0 && t.minute <= 63 &&
                t.second >= 0 && t.second <= 62,
            "DOS fields stay within their bits");

    const size_t rest = size > 12 ? size - 12 : 0;
    const auto texts = tarrow::fuzz::twoTexts(data + (size - rest), rest);
    checkName(texts.first);
    const std::string bytes(texts.first.begin(), texts.first.end());
    checkName(tarrow::fromUtf8(bytes));

    // The extra field in a buffer of exactly its own size.
    std::vector<unsigned char> field(texts.second.begin(), texts.second.end());
    if (const auto times = tarrow::parseExtendedTimestamp(field.data(), field.size())) {
        for (const auto& time : {times->modification, times->access, times->creation})
            require(!time || *time >= 0, "times fall after 1601");
    }
    return 0;
}
