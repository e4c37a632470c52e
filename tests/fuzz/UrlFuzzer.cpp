// URL text of a VM pack: decoding escapes never produces a NUL (which would cut the path short
// where it is passed on); the stored pack's name never holds a folder step.
#include <string>

#include "FuzzInput.h"
#include "Text.h"
#include "UrlText.h"

using tarrow::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const std::wstring& url : {tarrow::fuzz::latin1(data, size), tarrow::fromUtf8(bytes)}) {
        const bool hadNul = url.find(L'\0') != std::wstring::npos;
        require(hadNul || tarrow::decodeUrlEscapes(url).find(L'\0') == std::wstring::npos,
                "decoding never makes a NUL");
        const std::wstring name = tarrow::packFileName(url);
        require(name.find_first_of(L"/\\") == std::wstring::npos, "a pack name has no folder");
        tarrow::isVmPackUrl(url);
    }
    require(tarrow::fromUtf8(bytes).find(L'\0') == std::wstring::npos ||
                bytes.find('\0') != std::string::npos,
            "UTF-8 decoding never makes a NUL of other bytes");
    return 0;
}
