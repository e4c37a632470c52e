# The Java side that ships with the launcher, built with the JDK's javac and jar:
#   Verify.jar          the probe class the launcher runs to confirm a described VM
#   Validator.jar       the reference validator com.mirov.util.jvm.Validator
#   TarrowNatives.jar   the Java declarations of the natives of Helper and Nettaro
# The probe and the validator target the oldest class-file version the JDK can still produce,
# so that old VMs run them; a JDK that cannot fails the build. The natives are compiled against
# the headers javac generates from their declarations, so that a name or signature that does
# not match fails the build too.
find_package(Java 11 REQUIRED COMPONENTS Development)
include(UseJava)

set(KIV_JAVA_OLDEST_RELEASE 7 CACHE STRING "Oldest Java release the probe and validator target")
set(KIV_JAVA_OUTPUT ${CMAKE_BINARY_DIR}/java)
# The jars carry the project's version in their manifests.
set(KIV_JAR_MANIFEST ${CMAKE_BINARY_DIR}/generated/jar-manifest.txt)
file(WRITE ${KIV_JAR_MANIFEST}
     "Implementation-Title: Tarrow\nImplementation-Version: ${PROJECT_VERSION}\n")


set(CMAKE_JAVA_COMPILE_FLAGS --release ${KIV_JAVA_OLDEST_RELEASE} -Xlint:-options -Werror)
add_jar(Verify SOURCES java/probe/Verify.java MANIFEST ${KIV_JAR_MANIFEST}
        OUTPUT_DIR ${KIV_JAVA_OUTPUT})
add_jar(Validator SOURCES java/validator/com/mirov/util/jvm/Validator.java
        MANIFEST ${KIV_JAR_MANIFEST} OUTPUT_DIR ${KIV_JAVA_OUTPUT})

set(CMAKE_JAVA_COMPILE_FLAGS -Werror)
add_jar(TarrowNatives
        SOURCES java/natives/com/halvern/quorbane/client/configuration/PrintHelper.java
                java/natives/com/halvern/quorbane/client/configuration/RasDial.java
                java/natives/com/halvern/quorbane/client/common/MultipleInstanceHelper.java
        MANIFEST ${KIV_JAR_MANIFEST} OUTPUT_DIR ${KIV_JAVA_OUTPUT}
        GENERATE_NATIVE_HEADERS kiv_native_headers DESTINATION ${CMAKE_BINARY_DIR}/jni-headers)
unset(CMAKE_JAVA_COMPILE_FLAGS)

# Jars with fixed entry times and order, so that two builds give the same bytes.
foreach(jar Verify Validator TarrowNatives)
  get_target_property(kiv_jar_file ${jar} JAR_FILE)
  add_custom_command(TARGET ${jar} POST_BUILD
    COMMAND python3 ${PROJECT_SOURCE_DIR}/scripts/pack_zip.py --rewrite ${kiv_jar_file}
    VERBATIM)
endforeach()
