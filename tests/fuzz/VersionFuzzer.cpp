// Versions, valid-VM-list tokens and heap sizes: parsing never overflows (UBSan watches the
// arithmetic), versions compare as a total order, a size written out reads back the same.
#include <string>

#include "FuzzInput.h"
#include "JVMVersion.h"
#include "OptionText.h"
#include "ValidListToken.h"

using tarrow::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const auto texts = tarrow::fuzz::twoTexts(data, size);
    const tarrow::JVMVersion a = tarrow::parseVersion(texts.first);
    const tarrow::JVMVersion b = tarrow::parseVersion(texts.second);
    const tarrow::JVMVersion c(a.major(), b.minor(), a.micro());
    require((a < b) + (a == b) + (a > b) == 1, "exactly one of <, ==, >");
    require(!(a < b && b < c) || a < c, "comparison is transitive");
    constexpr int kMost = tarrow::JVMVersion::kLargestComponent;
    require(a.major() <= kMost && a.minor() <= kMost && a.micro() <= kMost,
            "components stay in range");
    require(!a.saturated() || a.major() == kMost || a.minor() == kMost || a.micro() == kMost,
            "only a component at the limit is saturated");
    if (tarrow::isVersionSpec(texts.second))
        tarrow::matchesVersionSpec(a, texts.second);
    tarrow::matchesVersionSpec(a, texts.second);

    const tarrow::ValidListToken token = tarrow::parseValidListToken(texts.first);
    for (auto kind : {tarrow::VMKind::JDK, tarrow::VMKind::JRE, tarrow::VMKind::MSJ}) {
        if (!token.keyword.empty())
            tarrow::keywordAccepts(token.keyword, kind, b);
        tarrow::tokenAcceptsKindAndVersion(token, kind, b);
    }

    const std::int64_t bytes = tarrow::readSize(texts.first);
    if (bytes >= 0)
        require(tarrow::readSize(std::to_wstring(bytes)) == bytes, "a size reads back the same");
    tarrow::readInteger(texts.second);
    tarrow::readVerbosity(texts.second);
    tarrow::optionFlag(texts.first);
    return 0;
}
