// Which of the launcher's own files a file in the temporary folder is, judged from its bytes
// alone, never from its name: the VM information file (also as earlier versions wrote it), the
// Java argument file and the class-path jar. Platform-free.
#pragma once

#include <string>

namespace tarrow {

enum class LaunchFileKind { Foreign, VmInformation, ArgumentFile, ClassPathJar };

// A VM information file holds nothing but whole lines (each ending in CR LF) of the keys the
// launcher writes: "kiv.control-key", "kiv.stderr.redirect", "kiv.stdout.redirect",
// "kiv.nl.env." followed by a name, and "kiv.nl.current.vm", in ASCII. An argument file is one
// "-classpath" line as javaArgumentFileText writes it; a class-path jar is exactly the bytes
// jarWithManifest gives for a "Class-Path" manifest. Anything else, an empty file included, is
// foreign.
LaunchFileKind launchFileKind(const std::string& content);

// "VM information file", "argument file", "class-path jar" (for the trace).
const wchar_t* launchFileKindName(LaunchFileKind kind);

} // namespace tarrow
