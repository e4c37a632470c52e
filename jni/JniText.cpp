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

} // namespace tarrow
