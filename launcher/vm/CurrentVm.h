// The record of the chosen VM in the VM information file.
#pragma once

namespace tarrow {

class JVM;

// Appends "kiv.nl.current.vm=" and the VM's program path (escaped) to the VM information file.
void recordCurrentVM(const JVM& vm);

} // namespace tarrow
