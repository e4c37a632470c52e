// The text of the launcher's error line. Platform-free.
#pragma once

#include <string>

namespace tarrow {

// `prefix` (the translated "Pellinor Error"), ": ", the message and a line feed. The line is
// never cut, however long the message.
std::wstring composeErrorLine(const std::wstring& prefix, const std::wstring& message);

// The bytes written when standard error is a file or a pipe: UTF-8 with every line feed
// written as carriage return and line feed, as a text-mode stream would.
std::string errorLineBytes(const std::wstring& line);

// The message shown for an exception that is not a TerminalError: the fixed prefix followed by
// the exception's narrow text, each byte taken as the character of the same code.
std::wstring unknownExceptionMessage(const char* what);

} // namespace tarrow
