#include "JniText.h"

#include <windows.h>

namespace tarrow {

namespace {

// Holds the characters that GetStringChars handed out until they are released.
class StringChars {
  public:
    StringChars(JNIEnv* env, jstring text)
        : env_(env), text_(text), chars_(env->GetStringChars(text, nullptr)) {}
    ~StringChars() {
        if (chars_)
            env_->ReleaseStringChars(text_, chars_);
    }
    StringChars(const StringChars&) = delete;
    StringChars& operator=(const StringChars&) = delete;
    const jchar* get() const { return chars_; }

  private:
    JNIEnv* env_;
    jstring text_;
    const jchar* chars_;
};

std::string ansi(const std::wstring& text, bool* lossy) {
    if (text.empty())
        return std::string();
    const int length = static_cast<int>(text.size());
    // A UTF-8 code page takes every character and accepts neither the flag nor the check.
    if (GetACP() == CP_UTF8)
        lossy = nullptr;
    const DWORD flags = lossy ? WC_NO_BEST_FIT_CHARS : 0;
    const int size =
        WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(CP_ACP, flags, text.data(), length, &out[0], size, nullptr,
                        lossy ? &usedDefault : nullptr);
    if (lossy)
        *lossy = usedDefault != FALSE;
    return out;
}

} // namespace

std::optional<std::wstring> javaText(JNIEnv* env, jstring text) {
    if (!text)
        return std::nullopt;
    const jsize length = env->GetStringLength(text);
    const StringChars chars(env, text);
    if (!chars.get() || length < 0)
        return std::nullopt;
    return std::wstring(reinterpret_cast<const wchar_t*>(chars.get()), static_cast<size_t>(length));
}

jstring newJavaString(JNIEnv* env, const std::wstring& text) {
    return env->NewString(reinterpret_cast<const jchar*>(text.data()),
                          static_cast<jsize>(text.size()));
}

std::optional<std::string> exactAnsi(const std::wstring& text) {
    bool lossy = false; // stays false where the code page takes every character
    std::string out = ansi(text, &lossy);
    if (lossy || (out.empty() && !text.empty()) || out.find('\0') != std::string::npos)
        return std::nullopt;
    return out;
}

std::string lossyAnsi(const std::wstring& text) {
    return ansi(text, nullptr);
}

} // namespace tarrow
