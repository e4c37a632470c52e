#include "ShippedLibraries.h"

#include "JVM.h"
#include "PeImage.h"
#include "Trace.h"

namespace tarrow {

void traceShippedLibraryMismatch(const JVM& vm, const std::wstring& folder) {
    const ImageArchitecture own = vm.machine.architecture;
    if (own == ImageArchitecture::Unknown)
        return;
    for (const wchar_t* name : {L"Helper.dll", L"Nettaro.dll"}) {
        const ImageArchitecture library = imageMachine(folder + L"\\" + name).architecture;
        if (library != ImageArchitecture::Unknown && library != own)
            trace(std::wstring(L"warning: the VM is ") + architectureName(own) + L" but " + name +
                  L" beside the launcher is " + architectureName(library) +
                  L": the VM cannot load it");
    }
}

} // namespace tarrow
