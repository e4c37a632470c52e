/* The Windows machine-dependent part of the JNI declarations: export and calling-convention
   markers and the sizes of the Java integer types. The JDK's jni.h includes it. */
#ifndef KIV_JNI_MD_H
#define KIV_JNI_MD_H

#ifdef KIV_JNI_EXPORTS_FROM_DEF
/* The export names come from a module-definition file. */
#define JNIEXPORT
#else
#define JNIEXPORT __declspec(dllexport)
#endif
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef __int64 jlong;
typedef signed char jbyte;

#endif
