#include "JniText.h"

#include <windows.h>

#include "JavaText.h"

namespace tarrow {

namespace {

std::string ansiFromUtf16(const std::u16string& text) {
    if (text.empty())
        return std::string();
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), &out[0], size, nullptr,
                            nullptr);
    return out;
}

std::u16string utf16FromAnsi(const char* ansi) {
    const int length = static_cast<int>(strlen(ansi));
    if (length == 0)
        return std::u16string();
    const int size = MultiByteToWideChar(CP_ACP, 0, ansi, length, nullptr, 0);
    std::u16string out(static_cast<size_t>(size > 0 ? size : 0), u'\0');
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, ansi, length, reinterpret_cast<wchar_t*>(&out[0]), size);
    return out;
}

} // namespace

JavaChars::JavaChars(JNIEnv* env, jstring text)
    : env_(env), text_(text), chars_(text ? env->GetStringUTFChars(text, nullptr) : nullptr) {
    if (chars_)
        ansi_ = ansiFromUtf16(utf16FromModifiedUtf8(chars_));
}

JavaChars::~JavaChars() {
    if (chars_)
        env_->ReleaseStringUTFChars(text_, chars_);
}

jstring newJavaString(JNIEnv* env, const char* ansi) {
    return env->NewStringUTF(modifiedUtf8FromUtf16(utf16FromAnsi(ansi ? ansi : "")).c_str());
}

} // namespace tarrow
