#include "ShippedLibraries.h"

#include "JVM.h"
#include "PeImage.h"
#include "Trace.h"

namespace tarrow {

void traceShippedLibraryMismatch(const JVM& vm, const std::wstring& folder) {
    if (!isKnownArchitecture(vm.architecture))
        return;
    for (const wchar_t* name : {L"\\Helper.dll", L"\\Nettaro.dll"}) {
        const ImageArchitecture library = imageArchitecture(folder + name);
        if (!isKnownArchitecture(library) || library == vm.architecture)
            continue;
        std::wstring line = L"warning: the VM is ";
        line += architectureName(vm.architecture);
        line += L" but ";
        line += name + 1;
        line += L" beside the launcher is ";
        line += architectureName(library);
        trace(line += L": the VM cannot load it");
    }
}

} // namespace tarrow
