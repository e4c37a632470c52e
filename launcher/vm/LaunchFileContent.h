// Which of the launcher's own files a file in the temporary folder is, judged from its bytes
// alone, never from its name: the VM information file (also as earlier versions wrote it), the
// Java argument file, the class-path jar and the owner record beside each (LaunchOwner); and
// whether the sweep removes such a file. Platform-free.
#pragma once

#include <cstdint>
#include <string>

#include "LaunchOwner.h"

namespace tarrow {

enum class LaunchFileKind { Foreign, VmInformation, ArgumentFile, ClassPathJar, OwnerRecord };

// A VM information file holds nothing but whole lines (each ending in CR LF) of the keys the
// launcher writes: "kiv.control-key", "kiv.stderr.redirect", "kiv.stdout.redirect",
// "kiv.nl.env." followed by a name, and "kiv.nl.current.vm", in ASCII. An argument file is one
// "-classpath" line as javaArgumentFileText writes it; a class-path jar is exactly the bytes
// jarWithManifest gives for a "Class-Path" manifest; an owner record is what parseOwnerRecord
// reads. Anything else, an empty file included, is foreign.
LaunchFileKind launchFileKind(const std::string& content);

// A day in the 100-nanosecond units of a FILETIME.
constexpr std::uint64_t kLaunchFileLifetime = 24ULL * 60 * 60 * 10000000;

// Whether the sweep removes one of the launcher's own files that was last written `age` ago
// (100-nanosecond units) and whose owner is in `owner` state: never while its owner runs,
// whatever its age; otherwise (its owner ended, or no record names one) once it is more than a
// day old.
bool sweepsLaunchFile(std::uint64_t age, OwnerState owner);

} // namespace tarrow
