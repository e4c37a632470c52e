# The two JNI libraries. The 32-bit builds export the decorated stdcall names listed in their
# module-definition files; the 64-bit builds export the plain names a 64-bit VM looks up.
find_path(KIV_JNI_INCLUDE jni.h PATHS /usr/lib/jvm/java-17-openjdk-amd64/include
          /usr/lib/jvm/default-java/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# Import library of the closed PDF library, made from its export list.
set(KIV_XPDF_IMPLIB ${CMAKE_BINARY_DIR}/libXpdfPrint.a)
add_custom_command(OUTPUT ${KIV_XPDF_IMPLIB}
  # Run in the build folder with a relative name: dlltool names its symbols after the path.
  COMMAND ${KIV_DLLTOOL} --input-def ${PROJECT_SOURCE_DIR}/helper/XpdfPrint.def
          --output-lib libXpdfPrint.a --dllname XpdfPrint.dll
          --deterministic-libraries --temp-prefix xpdfprint
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS ${PROJECT_SOURCE_DIR}/helper/XpdfPrint.def)
add_custom_target(xpdfprint_import DEPENDS ${KIV_XPDF_IMPLIB})

function(kiv_jni_library name)
  cmake_parse_arguments(ARG "" "DEF" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES} ${KIV_RUNTIME_REPLACEMENTS})
  # Only the shared JNI plumbing, the owner types and the library's own folder are visible.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/jni ${KIV_JNI_INCLUDE}
                                             ${PROJECT_SOURCE_DIR}/common)
  # The headers javac generates from the Java declarations of the natives.
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kiv_native_headers)
  target_link_options(${name} PRIVATE ${KIV_STATIC_LINK})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name}
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_definitions(${name} PRIVATE KIV_JNI_EXPORTS_FROM_DEF)
    target_sources(${name} PRIVATE ${ARG_DEF})
  endif()
  kiv_warnings(${name})
endfunction()

kiv_jni_library(Helper
  SOURCES jni/JniText.cpp jni/NativeGuard.cpp helper/PrintingNatives.cpp helper/SystemNatives.cpp
  DEF ${PROJECT_SOURCE_DIR}/helper/Helper-i686.def
  LIBS ${KIV_XPDF_IMPLIB} winspool)
add_dependencies(Helper xpdfprint_import)
kiv_version_resource(Helper Helper.dll "Printing, disk space and single-instance natives" VFT_DLL)

kiv_jni_library(Nettaro
  SOURCES dialup/ConnectionList.cpp dialup/DialupNatives.cpp jni/NativeGuard.cpp
  DEF ${PROJECT_SOURCE_DIR}/dialup/Nettaro-i686.def
  LIBS rasapi32)
kiv_version_resource(Nettaro Nettaro.dll "Dial-up natives" VFT_DLL)
