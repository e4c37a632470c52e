# The Windows deliverables, for the i686 product and the x86_64 build alike.
enable_language(RC)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# Everything is linked statically so that no MinGW runtime library has to sit beside the programs,
# and without a link time stamp, so that two builds of the same sources are the same bytes.
set(KIV_STATIC_LINK -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)

# The launcher's sections are packed to the linker's 512-byte file alignment. Page-aligned
# sections let Wine map the image and read only the pages a launch runs (0.2 to 1.5 ms a launch
# under the WoW64 Wine), but they cost some 24 KB, which the 450 KB budget of the 32-bit
# launcher no longer holds. The benchmark's minimal launchers take the same layout, so that both
# sides of the comparison load alike.
set(KIV_PROGRAM_LAYOUT "")

# The three product binaries take small replacements of two runtime parts that would each link
# some 50 KB into every binary: the terminate handler (common/TerminateHandler.cpp) and the
# functions that raise the standard library's exceptions (common/LibraryThrows.cpp). The size
# options are in SmallBinaries.cmake.
set(KIV_RUNTIME_REPLACEMENTS ${PROJECT_SOURCE_DIR}/common/TerminateHandler.cpp
                             ${PROJECT_SOURCE_DIR}/common/LibraryThrows.cpp)
include(cmake/Version.cmake)

include(cmake/Minizip.cmake)

# The owner types that every folder and both JNI libraries use.
add_library(kiv_common INTERFACE)
target_include_directories(kiv_common INTERFACE common)

add_library(kiv_core STATIC
  launcher/core/ChildProcess.cpp
  launcher/core/Console.cpp
  launcher/core/Environment.cpp
  launcher/core/FileSystem.cpp
  launcher/core/LaunchContext.cpp
  launcher/core/OwnerProcess.cpp
  launcher/core/Platform.cpp
  launcher/core/ProgramPath.cpp
  launcher/core/PropertiesFile.cpp
  launcher/core/Reporter.cpp
  launcher/core/RuntimeImports.cpp
  launcher/core/StringTable.cpp
  launcher/core/SystemLibrary.cpp
  launcher/core/TemporaryFile.cpp
  launcher/core/Trace.cpp
  launcher/core/SystemMessage.cpp
  launcher/core/VmInfoFile.cpp
  launcher/core/VmJob.cpp
  launcher/core/VmProcess.cpp
  launcher/core/Wow64.cpp
)
# VERSION and WININET are loaded at run time from the system folder (RuntimeImports.h).
target_link_libraries(kiv_core PUBLIC kiv_core_logic kiv_common advapi32 psapi)

add_library(kiv_vm STATIC
  launcher/vm/CurrentVm.cpp
  launcher/vm/JavaOptionsBuilder.cpp
  launcher/vm/JVM.cpp
  launcher/vm/JVMProbe.cpp
  launcher/vm/InstalledVmSearch.cpp
  launcher/vm/LeftoverSweep.cpp
  launcher/vm/MoreVmSearch.cpp
  launcher/vm/PeImage.cpp
  launcher/vm/Registry.cpp
  launcher/vm/ReparsePoint.cpp
  launcher/vm/ShippedLibraries.cpp
  launcher/vm/DescribedVmSearch.cpp
  launcher/vm/Validation.cpp
  launcher/vm/VersionResource.cpp
  launcher/vm/VmCandidate.cpp
)
target_link_libraries(kiv_vm PUBLIC kiv_core kiv_vm_logic)

add_library(kiv_vmpack STATIC
  launcher/vmpack/ArchiveExtraction.cpp
  launcher/vmpack/EarlyExtraction.cpp
  launcher/vmpack/FileCloser.cpp
  launcher/vmpack/FileChecksum.cpp
  launcher/vmpack/StreamDigest.cpp
  launcher/vmpack/VmPackDownload.cpp
  launcher/vmpack/VmPackExtraction.cpp
  launcher/vmpack/VmPackLock.cpp
  launcher/vmpack/VmPackStep.cpp
  launcher/vmpack/ZipReader.cpp
)
target_link_libraries(kiv_vmpack PUBLIC kiv_vm kiv_vmpack_logic minizip)

add_library(kiv_service STATIC
  launcher/service/ServiceApi.cpp
  launcher/service/ServiceFileTrust.cpp
  launcher/service/ServiceInstall.cpp
  launcher/service/ServiceManager.cpp
  launcher/service/ServiceState.cpp
  launcher/service/ServiceStop.cpp
)
target_include_directories(kiv_service PUBLIC launcher/service)
target_link_libraries(kiv_service PUBLIC kiv_core kiv_service_logic)

add_library(kiv_brand STATIC launcher/brand/BrandCommand.cpp)
target_link_libraries(kiv_brand PUBLIC kiv_core kiv_brand_logic)

add_library(kiv_app STATIC
  launcher/app/KIV.cpp
  launcher/app/ServiceKIV.cpp
)
target_include_directories(kiv_app PUBLIC launcher/app)
target_link_libraries(kiv_app PUBLIC kiv_vmpack kiv_service kiv_brand)
foreach(library kiv_core kiv_vm kiv_vmpack kiv_service kiv_brand kiv_app)
  kiv_warnings(${library})
endforeach()

# Everything below the entry point, for the Windows tests and tools.
add_library(tarrow_win INTERFACE)
target_link_libraries(tarrow_win INTERFACE kiv_app)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KIV_MANIFEST_ARCHITECTURE amd64)
else()
  set(KIV_MANIFEST_ARCHITECTURE X86)
endif()
configure_file(launcher/resources/Tarrow.manifest.in ${CMAKE_BINARY_DIR}/generated/Tarrow.manifest.full
               @ONLY)
# The manifest goes into every launcher without its comments and the spaces between its
# elements, which mean nothing to Windows' reader.
file(READ ${CMAKE_BINARY_DIR}/generated/Tarrow.manifest.full KIV_MANIFEST)
string(REGEX REPLACE "<!--[^>]*-->" "" KIV_MANIFEST "${KIV_MANIFEST}")
string(REGEX REPLACE ">[ \t\r\n]+<" "><" KIV_MANIFEST "${KIV_MANIFEST}")
string(REGEX REPLACE "[ \t\r\n]+" " " KIV_MANIFEST "${KIV_MANIFEST}")
file(WRITE ${CMAKE_BINARY_DIR}/generated/Tarrow.manifest.new "${KIV_MANIFEST}")
file(COPY_FILE ${CMAKE_BINARY_DIR}/generated/Tarrow.manifest.new
     ${CMAKE_BINARY_DIR}/generated/Tarrow.manifest ONLY_IF_DIFFERENT)
# The resource compiler's dependencies are not scanned: a changed icon rebuilds the resources.
set_source_files_properties(launcher/resources/Tarrow.rc PROPERTIES OBJECT_DEPENDS
                            "${PROJECT_SOURCE_DIR}/launcher/resources/Tarrow.ico;${CMAKE_BINARY_DIR}/generated/Tarrow.manifest")

# Sources linked only into the windowed launcher TarrowW: its windows and message boxes, which
# the console launcher never shows.
set(KIV_WINDOWED_SOURCES launcher/app/ErrorBox.cpp launcher/app/ProgressWindow.cpp)

# A launcher program: the entry point and the resources over everything below it. Tarrow is the
# console program; TarrowW, built from the same sources, is a Windows-subsystem program (no
# console window), and the sources that differ for it see KIV_WINDOWED=1.
#   kiv_add_launcher(target "description" [extra sources...])
function(kiv_add_launcher target description)
  add_executable(${target}
    launcher/app/Main.cpp
    launcher/app/LibrarySearchHardening.cpp
    ${KIV_RUNTIME_REPLACEMENTS}
    launcher/resources/Tarrow.rc
    ${ARGN}
  )
  target_include_directories(${target} PRIVATE launcher/resources ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(${target} PRIVATE kiv_app)
  target_link_options(${target} PRIVATE -municode ${KIV_STATIC_LINK} ${KIV_PROGRAM_LAYOUT})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${target}
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  kiv_version_resource(${target} ${target}.exe "${description}" VFT_APP)
  # The linker keeps a copy of the unwinding tables' common entry for every function merged
  # across objects; the 32-bit launcher's .eh_frame then shares one copy of each (some 13 KB).
  # Builds whose binaries have no .eh_frame (x86_64 unwinds with SEH tables) are left as they
  # are. objcopy stamps the headers it writes with SOURCE_DATE_EPOCH, 0 as the linker leaves
  # them. Changing the script relinks the launcher.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
            python3 ${PROJECT_SOURCE_DIR}/scripts/share_eh_cies.py ${KIV_OBJCOPY} ${KIV_OBJDUMP}
            $<TARGET_FILE:${target}>
    VERBATIM)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
               ${PROJECT_SOURCE_DIR}/scripts/share_eh_cies.py)
  kiv_warnings(${target})
endfunction()

kiv_add_launcher(Tarrow "Java application launcher")
kiv_add_launcher(TarrowW "Java application launcher (windowed)" ${KIV_WINDOWED_SOURCES})
target_compile_definitions(TarrowW PRIVATE KIV_WINDOWED=1)
target_link_options(TarrowW PRIVATE -mwindows)
include(cmake/Java.cmake)
include(cmake/JniLibraries.cmake)
include(cmake/Package.cmake)
