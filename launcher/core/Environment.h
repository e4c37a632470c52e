// The process-wide environment table and the services built on it.
#pragma once

#include <string>

#include "EnvironmentTable.h"
#include "Path.h"

namespace tarrow {

// The snapshot of the process environment, taken on first use and kept unchanged.
const EnvironmentTable& environment();

// The value of a variable (exact name) with environment references expanded; empty when the
// variable is not in the table.
std::wstring getVariable(const std::wstring& name);

// The expanded value of the first variable whose lower-cased name is "path", as a Path list;
// an empty list when there is no such variable.
Path searchPath();

// The three export lines of every variable, as the VM information file holds them.
std::string exportedEnvironment();

} // namespace tarrow
