#include "CurrentVm.h"

#include "JVM.h"
#include "PropertiesSyntax.h"
#include "VmInfoFile.h"

namespace tarrow {

void recordCurrentVM(const JVM& vm) {
    appendVmInfo({L"kiv.nl.current.vm=" + escapeForProperties(vm.executablePath())});
}

} // namespace tarrow
