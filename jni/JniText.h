// Java strings in the natives. Java text reaches Windows as UTF-16 (the wide functions), so
// that no character is lost or replaced on the way; only the closed PDF library, which takes
// byte strings, gets text in the ANSI code page.
#pragma once

#include <jni.h>

#include "AnsiText.h"

#include <optional>
#include <string>

namespace tarrow {

// The characters of a Java string (GetStringChars, released before returning); nothing for a
// null string or when the VM cannot hand them out.
std::optional<std::wstring> javaText(JNIEnv* env, jstring text);

// A Java string with this text (NewString).
jstring newJavaString(JNIEnv* env, const std::wstring& text);

} // namespace tarrow
