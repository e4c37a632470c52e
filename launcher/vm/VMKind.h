// The kinds of Java VM. Platform-free.
#pragma once

namespace tarrow {

// JDK: a development kit (javac.exe beside the VM program); JRE: a runtime; MSJ: the Microsoft VM.
enum class VMKind : int { JDK = 0, JRE = 1, MSJ = 2 };

} // namespace tarrow
