#include "BuildOptions.h"

#include "OptionText.h"
#include "Text.h"

namespace tarrow {

namespace {

long integer(const PropertySet& p, const wchar_t* key, const wchar_t* fallback) {
    return readInteger(p.get(key, fallback));
}

} // namespace

BuildOptions BuildOptions::read(const PropertySet& p) {
    BuildOptions o;
    o.option = p.get(L"build.option");
    o.jvmSpecApplicable = p.get(L"build.jvmspec.applicable") == L"true";
    o.jvmSpecCount = integer(p, L"build.jvmspec.total.num", L"0");
    for (long i = 0; i < o.jvmSpecCount; ++i)
        o.jvmSpecFiles.push_back(p.get(L"build.jvmspec." + decimal(i)));
    o.withVmSearchOption = integer(p, L"build.with.vm.search.option", L"20");
    o.withoutVmSearchOption = integer(p, L"build.without.vm.search.option", L"10");
    o.notFoundUrl = p.get(L"build.without.vm.not.found.download.url");
    o.notFoundChecksumApplicable =
        p.get(L"build.without.vm.not.found.download.url.md5Checksum.applicable") == L"true";
    o.notFoundChecksum = p.get(L"build.without.vm.not.found.download.url.md5Checksum.value");
    o.directUrl = p.get(L"build.without.vm.direct.download.url");
    o.directChecksumApplicable =
        p.get(L"build.without.vm.dont.search.download.url.md5Checksum.applicable") == L"true";
    o.directChecksum = p.get(L"build.without.vm.dont.search.download.url.md5Checksum.value");
    o.notFoundSha256 = p.get(L"build.without.vm.not.found.download.url.sha256Checksum.value");
    o.directSha256 = p.get(L"build.without.vm.dont.search.download.url.sha256Checksum.value");
    return o;
}

} // namespace tarrow
