// The windowed launcher's error report: a message box a person sees, since it has no console
// to print its error line in. Linked only into TarrowW.
#pragma once

#include <string>

#include "PropertySet.h"

namespace tarrow {

// The title of the launcher's message boxes: "kiv.application.name" from `settings` when it is
// set and not empty, else the name of the running program without its extension ("TarrowW").
// `settings` is null while no properties file has been read.
std::wstring applicationTitle(const PropertySet* settings);

// Whether the windows of this process reach a person: false in a window station that shows no
// windows (a service's, or a scheduled task's that runs whether anyone is logged on or not),
// where a message box would wait forever for a click. True when that cannot be learned.
bool windowsReachAPerson();

// Shows `line`, the error line, in a message box with the error icon, titled `title`; returns
// once the person has closed it.
void showErrorBox(const std::wstring& title, std::wstring line);

} // namespace tarrow
