// Java strings in the natives: a Java string's characters in the ANSI code page for the
// byte-string functions of Windows and XpdfPrint, and Java strings made from ANSI text, so that
// no text crosses JNI malformed. ASCII text passes unchanged.
#pragma once

#include <jni.h>

#include <string>

namespace tarrow {

// Holds the characters of a Java string (GetStringUTFChars) and releases them when destroyed.
class JavaChars {
  public:
    JavaChars(JNIEnv* env, jstring text);
    ~JavaChars();
    JavaChars(const JavaChars&) = delete;
    JavaChars& operator=(const JavaChars&) = delete;

    bool valid() const { return chars_ != nullptr; }
    // The text in the ANSI code page.
    const char* ansi() const { return ansi_.c_str(); }

  private:
    JNIEnv* env_;
    jstring text_;
    const char* chars_;
    std::string ansi_;
};

// A Java string with the text of an ANSI byte string.
jstring newJavaString(JNIEnv* env, const char* ansi);

} // namespace tarrow
