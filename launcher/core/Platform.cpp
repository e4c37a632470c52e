#include "Platform.h"

#include "Wow64.h"

namespace tarrow {

bool sees64BitWindows() {
    return kIs64BitBuild || isWow64Process();
}

} // namespace tarrow
