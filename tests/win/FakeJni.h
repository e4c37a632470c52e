// A JNI environment of our own for calling the natives outside a Java VM: strings and object
// arrays live in this object, and every GetStringUTFChars or GetStringChars is counted against
// its release.
#pragma once

#include <jni.h>

#include <memory>
#include <string>
#include <vector>

namespace tarrow::test {

class FakeJni {
  public:
    FakeJni();
    FakeJni(const FakeJni&) = delete;
    FakeJni& operator=(const FakeJni&) = delete;

    JNIEnv* env() { return &env_.env; }

    // A Java string holding these modified-UTF-8 bytes.
    jstring string(const std::string& modifiedUtf8);
    // The bytes of a Java string made by the natives.
    std::string text(jstring value) const;
    std::vector<jobject> elements(jobjectArray array) const;
    // Characters obtained and not yet released.
    int outstandingChars() const { return gets_ - releases_; }
    int gets() const { return gets_; }
    // A release that did not match an obtained pointer.
    int badReleases() const { return badReleases_; }
    std::string lastClassLookedUp() const { return lastClass_; }

  private:
    struct Object {
        std::string text;
        std::vector<jobject> elements;
        bool isArray = false;
    };
    struct Env {
        JNIEnv env;
        FakeJni* owner;
    };
    static FakeJni& of(JNIEnv* env) { return *reinterpret_cast<Env*>(env)->owner; }
    jobject make(Object object);

    static jclass JNICALL findClass(JNIEnv* env, const char* name);
    static jstring JNICALL newStringUTF(JNIEnv* env, const char* bytes);
    static const char* JNICALL getStringUTFChars(JNIEnv* env, jstring value, jboolean* isCopy);
    static void JNICALL releaseStringUTFChars(JNIEnv* env, jstring value, const char* chars);
    static jstring JNICALL newString(JNIEnv* env, const jchar* chars, jsize length);
    static jsize JNICALL getStringLength(JNIEnv* env, jstring value);
    static const jchar* JNICALL getStringChars(JNIEnv* env, jstring value, jboolean* isCopy);
    static void JNICALL releaseStringChars(JNIEnv* env, jstring value, const jchar* chars);
    const char* handOut(const void* data, size_t bytes);
    void takeBack(const void* data);
    static jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass type,
                                               jobject initial);
    static void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index,
                                              jobject value);

    JNINativeInterface_ functions_;
    Env env_;
    std::vector<std::unique_ptr<Object>> objects_;
    std::vector<std::unique_ptr<char[]>> handedOut_;
    int gets_ = 0;
    int releases_ = 0;
    int badReleases_ = 0;
    std::string lastClass_;
};

} // namespace tarrow::test
