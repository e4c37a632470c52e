// System natives: disk size and free space (PrintHelper) and the single-instance guard
// (com.halvern.quorbane.client.common.MultipleInstanceHelper).
#include <windows.h>

#include <jni.h>

#include "JniText.h"
#include "com_halvern_quorbane_client_common_MultipleInstanceHelper.h"
#include "com_halvern_quorbane_client_configuration_PrintHelper.h"
#include "NativeGuard.h"

namespace tarrow {

namespace {

struct DiskSpace {
    ULARGE_INTEGER total = {};
    ULARGE_INTEGER free = {};
    bool known = false;
};

DiskSpace diskSpace(JNIEnv* env, jstring path) {
    const auto folder = javaText(env, path);
    DiskSpace space;
    ULARGE_INTEGER available;
    space.known =
        folder && GetDiskFreeSpaceExW(folder->c_str(), &available, &space.total, &space.free);
    return space;
}

// The handle stays open for the life of the process, so the unit stays taken. The name is
// passed as UTF-16, so that names differing in any character never meet.
bool takeSingleInstance(JNIEnv* env, jstring name) {
    const auto text = javaText(env, name);
    HANDLE semaphore = CreateSemaphoreW(nullptr, 1, 1, text ? text->c_str() : nullptr);
    if (!semaphore)
        return true;
    return WaitForSingleObject(semaphore, 0) != WAIT_TIMEOUT;
}

} // namespace

} // namespace tarrow

using namespace tarrow;

extern "C" {

JNIEXPORT jlong JNICALL Java_com_halvern_quorbane_client_configuration_PrintHelper_getDiskSpace(
    JNIEnv* env, jclass, jstring path) {
    return guarded<jlong>(0, [&]() -> jlong {
        const DiskSpace space = diskSpace(env, path);
        return space.known ? static_cast<jlong>(space.total.QuadPart) : 0;
    });
}

JNIEXPORT jlong JNICALL
Java_com_halvern_quorbane_client_configuration_PrintHelper_getAvailableDiskSpace(JNIEnv* env,
                                                                                 jclass,
                                                                                 jstring path) {
    return guarded<jlong>(0, [&]() -> jlong {
        const DiskSpace space = diskSpace(env, path);
        return space.known ? static_cast<jlong>(space.free.QuadPart) : 0;
    });
}

JNIEXPORT jboolean JNICALL
Java_com_halvern_quorbane_client_common_MultipleInstanceHelper_checkSingleInstance(JNIEnv* env,
                                                                                   jclass,
                                                                                   jstring name) {
    return guarded<jboolean>(JNI_TRUE, [&]() -> jboolean {
        return takeSingleInstance(env, name) ? JNI_TRUE : JNI_FALSE;
    });
}

} // extern "C"
