// The string tokenizer used by the command line and by Path lists. Platform-free.
#pragma once

#include <string>
#include <vector>

namespace tarrow {

// Splits `text` (first trimmed of leading and trailing spaces, code 32 only) at any character
// of `delimiters`, which are dropped. Runs of delimiters separate like one. Only a delimiter at
// the very start of the trimmed text yields an empty first token.
std::vector<std::wstring> tokenize(const std::wstring& text, const std::wstring& delimiters);

} // namespace tarrow
