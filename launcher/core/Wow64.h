// WOW64 detection and file-system redirection.
#pragma once

namespace tarrow {

// True when this process is a 32-bit process on 64-bit Windows.
bool isWow64Process();

// Switches file-system redirection off for the rest of the process (nothing happens outside
// WOW64 or where the system lacks the functions).
void disableWow64Redirection();

} // namespace tarrow
