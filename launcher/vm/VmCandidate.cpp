#include "VmCandidate.h"

#include "JVMProbe.h"
#include "PeImage.h"

namespace tarrow {

namespace {

std::unique_ptr<JVM> newVmFor(const JVMVersion& version) {
    if (version.major() < 2)
        return std::make_unique<J1VM>();
    return std::make_unique<J2VM>();
}

} // namespace

std::wstring homeFolder(std::wstring folder) {
    while (folder.size() > 1 && folder.back() == L'\\' &&
           !(folder.size() == 3 && folder[1] == L':'))
        folder.pop_back();
    return folder;
}

void readArchitecture(JVM& vm, bool sees64Bit) {
    vm.architecture = imageArchitecture(vm.executablePath());
    vm.is64Bit = sees64Bit && is64BitArchitecture(vm.architecture);
}

std::unique_ptr<JVM> registeredVm(const JVMVersion& version, const std::wstring& home, VMKind kind,
                                  const std::wstring& vendor, bool sees64Bit) {
    std::unique_ptr<JVM> vm = newVmFor(version);
    vm->home = homeFolder(home);
    vm->version = version;
    vm->kind = kind;
    vm->vendor = vendor;
    readArchitecture(*vm, sees64Bit);
    return vm;
}

std::unique_ptr<JVM> probedVm(const std::wstring& program, bool sees64Bit) {
    JVMProbe probe(program);
    std::unique_ptr<JVM> vm;
    if (probe.kind() == VMKind::MSJ) {
        vm = std::make_unique<MSJVM>();
    } else {
        const JVMVersion version = probe.version();
        vm = newVmFor(version);
        vm->vendor = probe.vendor();
        vm->version = version;
        vm->kind = probe.kind();
    }
    vm->home = homeFolder(probe.home());
    readArchitecture(*vm, sees64Bit);
    return vm;
}

} // namespace tarrow
