#include "NamedVm.h"

#include "JVMProbe.h"
#include "PeImage.h"

namespace tarrow {

std::unique_ptr<JVM> describeJ2VM(const std::wstring& programPath, const JavaOptions& options) {
    JVMProbe probe(programPath);
    auto vm = std::make_unique<J2VM>();
    vm->home = probe.home();
    vm->kind = probe.kind();
    vm->vendor = probe.vendor();
    vm->version = probe.version();
    vm->is64Bit = isAmd64Image(programPath) ? 1 : 0;
    vm->options = options;
    return vm;
}

} // namespace tarrow
