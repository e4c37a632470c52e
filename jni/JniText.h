// Java strings in the natives. Java text reaches Windows as UTF-16 (the wide functions), so
// that no character is lost or replaced on the way; only the closed PDF library, which takes
// byte strings, gets text in the ANSI code page.
#pragma once

#include <jni.h>

#include <optional>
#include <string>

namespace tarrow {

// The characters of a Java string (GetStringChars, released before returning); nothing for a
// null string or when the VM cannot hand them out.
std::optional<std::wstring> javaText(JNIEnv* env, jstring text);

// A Java string with this text (NewString).
jstring newJavaString(JNIEnv* env, const std::wstring& text);

// The text in the ANSI code page; nothing when a character has no exact counterpart there
// (a file path or a printer name must never silently turn into another one).
std::optional<std::string> exactAnsi(const std::wstring& text);

// The text in the ANSI code page, characters it lacks replaced by the system's default.
std::string lossyAnsi(const std::wstring& text);

} // namespace tarrow
