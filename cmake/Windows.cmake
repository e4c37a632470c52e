# The Windows deliverables, for the i686 product and the x86_64 build alike.
enable_language(RC)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# Everything is linked statically so that no MinGW runtime library has to sit beside the programs.
set(KIV_STATIC_LINK -static -static-libgcc -static-libstdc++)

include(cmake/Minizip.cmake)

add_library(tarrow_win STATIC
  launcher/core/Console.cpp
  launcher/core/Environment.cpp
  launcher/core/FileSystem.cpp
  launcher/core/KIV.cpp
  launcher/core/Platform.cpp
  launcher/core/ProgramPath.cpp
  launcher/core/PropertiesFile.cpp
  launcher/core/RuntimeImports.cpp
  launcher/core/StringTable.cpp
  launcher/core/SystemLibrary.cpp
  launcher/core/SystemMessage.cpp
  launcher/core/VmInfoFile.cpp
  launcher/core/VmProcess.cpp
  launcher/core/Wow64.cpp
  launcher/service/ServiceApi.cpp
  launcher/service/ServiceKIV.cpp
  launcher/service/Thread.cpp
  launcher/vm/CurrentVm.cpp
  launcher/vm/JavaOptionsBuilder.cpp
  launcher/vm/JVM.cpp
  launcher/vm/JVMProbe.cpp
  launcher/vm/InstalledVmSearch.cpp
  launcher/vm/PeImage.cpp
  launcher/vm/Registry.cpp
  launcher/vm/ReparsePoint.cpp
  launcher/vm/DescribedVmSearch.cpp
  launcher/vm/Validation.cpp
  launcher/vm/VersionResource.cpp
  launcher/vmpack/FileChecksum.cpp
  launcher/vmpack/VmPackDownload.cpp
  launcher/vmpack/VmPackExtraction.cpp
  launcher/vmpack/VmPackStep.cpp
  launcher/vmpack/ZipReader.cpp
)
# VERSION and WININET are loaded at run time from the system folder (RuntimeImports.h).
target_link_libraries(tarrow_win PUBLIC tarrow_logic minizip shell32 advapi32 psapi)
kiv_warnings(tarrow_win)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KIV_MANIFEST_ARCHITECTURE amd64)
else()
  set(KIV_MANIFEST_ARCHITECTURE X86)
endif()
configure_file(launcher/resources/Tarrow.manifest.in ${CMAKE_BINARY_DIR}/generated/Tarrow.manifest @ONLY)

add_executable(Tarrow
  launcher/core/Main.cpp
  launcher/core/LibrarySearchHardening.cpp
  launcher/resources/Tarrow.rc
)
target_include_directories(Tarrow PRIVATE launcher/resources ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(Tarrow PRIVATE tarrow_win)
target_link_options(Tarrow PRIVATE -municode ${KIV_STATIC_LINK})
set_target_properties(Tarrow PROPERTIES OUTPUT_NAME Tarrow RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
kiv_warnings(Tarrow)
include(cmake/JniLibraries.cmake)
