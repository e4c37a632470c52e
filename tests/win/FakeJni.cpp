#include "FakeJni.h"

#include <cstring>

#include "JavaText.h"

namespace tarrow::test {

FakeJni::FakeJni() : functions_(), env_{&functions_, this} {
    functions_.FindClass = findClass;
    functions_.NewStringUTF = newStringUTF;
    functions_.GetStringUTFChars = getStringUTFChars;
    functions_.ReleaseStringUTFChars = releaseStringUTFChars;
    functions_.NewString = newString;
    functions_.GetStringLength = getStringLength;
    functions_.GetStringChars = getStringChars;
    functions_.ReleaseStringChars = releaseStringChars;
    functions_.NewObjectArray = newObjectArray;
    functions_.SetObjectArrayElement = setObjectArrayElement;
}

jobject FakeJni::make(Object object) {
    objects_.push_back(std::make_unique<Object>(std::move(object)));
    return reinterpret_cast<jobject>(objects_.back().get());
}

jstring FakeJni::string(const std::string& modifiedUtf8) {
    Object object;
    object.text = modifiedUtf8;
    return static_cast<jstring>(make(std::move(object)));
}

std::string FakeJni::text(jstring value) const {
    return reinterpret_cast<const Object*>(value)->text;
}

std::vector<jobject> FakeJni::elements(jobjectArray array) const {
    return reinterpret_cast<const Object*>(array)->elements;
}

jclass JNICALL FakeJni::findClass(JNIEnv* env, const char* name) {
    of(env).lastClass_ = name;
    Object object;
    object.text = name;
    return static_cast<jclass>(of(env).make(std::move(object)));
}

jstring JNICALL FakeJni::newStringUTF(JNIEnv* env, const char* bytes) {
    return of(env).string(bytes);
}

// A copy that the natives must give back; counted until then.
const char* FakeJni::handOut(const void* data, size_t bytes) {
    ++gets_;
    auto copy = std::make_unique<char[]>(bytes);
    std::memcpy(copy.get(), data, bytes);
    handedOut_.push_back(std::move(copy));
    return handedOut_.back().get();
}

void FakeJni::takeBack(const void* data) {
    for (auto it = handedOut_.begin(); it != handedOut_.end(); ++it) {
        if (it->get() == data) {
            handedOut_.erase(it);
            ++releases_;
            return;
        }
    }
    ++badReleases_;
}

const char* JNICALL FakeJni::getStringUTFChars(JNIEnv* env, jstring value, jboolean* isCopy) {
    if (isCopy)
        *isCopy = JNI_TRUE;
    const std::string& text = reinterpret_cast<const Object*>(value)->text;
    return of(env).handOut(text.c_str(), text.size() + 1);
}

void JNICALL FakeJni::releaseStringUTFChars(JNIEnv* env, jstring, const char* chars) {
    of(env).takeBack(chars);
}

jstring JNICALL FakeJni::newString(JNIEnv* env, const jchar* chars, jsize length) {
    const std::u16string text(reinterpret_cast<const char16_t*>(chars),
                              static_cast<size_t>(length));
    return of(env).string(modifiedUtf8FromUtf16(text));
}

jsize JNICALL FakeJni::getStringLength(JNIEnv*, jstring value) {
    const auto text = utf16FromModifiedUtf8(reinterpret_cast<const Object*>(value)->text);
    return static_cast<jsize>(text.size());
}

// Not terminated, as in a real VM: the natives must use the length.
const jchar* JNICALL FakeJni::getStringChars(JNIEnv* env, jstring value, jboolean* isCopy) {
    if (isCopy)
        *isCopy = JNI_TRUE;
    const auto text = utf16FromModifiedUtf8(reinterpret_cast<const Object*>(value)->text);
    const std::u16string unterminated = text + u'\xFFFF';
    return reinterpret_cast<const jchar*>(
        of(env).handOut(unterminated.data(), unterminated.size() * sizeof(char16_t)));
}

void JNICALL FakeJni::releaseStringChars(JNIEnv* env, jstring, const jchar* chars) {
    of(env).takeBack(chars);
}

jobjectArray JNICALL FakeJni::newObjectArray(JNIEnv* env, jsize length, jclass, jobject initial) {
    Object object;
    object.isArray = true;
    object.elements.assign(static_cast<size_t>(length), initial);
    return static_cast<jobjectArray>(of(env).make(std::move(object)));
}

void JNICALL FakeJni::setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index,
                                            jobject value) {
    (void)env;
    auto* object = reinterpret_cast<Object*>(array);
    object->elements.at(static_cast<size_t>(index)) = value;
}

} // namespace tarrow::test
