#include "FakeJni.h"

#include <cstring>

namespace tarrow::test {

FakeJni::FakeJni() : functions_(), env_{&functions_, this} {
    functions_.FindClass = findClass;
    functions_.NewStringUTF = newStringUTF;
    functions_.GetStringUTFChars = getStringUTFChars;
    functions_.ReleaseStringUTFChars = releaseStringUTFChars;
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

const char* JNICALL FakeJni::getStringUTFChars(JNIEnv* env, jstring value, jboolean* isCopy) {
    FakeJni& self = of(env);
    ++self.gets_;
    if (isCopy)
        *isCopy = JNI_TRUE;
    const std::string& text = reinterpret_cast<const Object*>(value)->text;
    auto copy = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    self.handedOut_.push_back(std::move(copy));
    return self.handedOut_.back().get();
}

void JNICALL FakeJni::releaseStringUTFChars(JNIEnv* env, jstring, const char* chars) {
    FakeJni& self = of(env);
    for (auto it = self.handedOut_.begin(); it != self.handedOut_.end(); ++it) {
        if (it->get() == chars) {
            self.handedOut_.erase(it);
            ++self.releases_;
            return;
        }
    }
    ++self.badReleases_;
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
