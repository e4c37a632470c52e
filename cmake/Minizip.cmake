# minizip's unzip interface, compiled from Debian's source package (fetched by the setup script
# into .cache/minizip) against the MinGW zlib. Nothing of it is kept in the repository.
set(KIV_MINIZIP_DIR ${PROJECT_SOURCE_DIR}/.cache/minizip CACHE PATH "minizip sources")
if(NOT EXISTS ${KIV_MINIZIP_DIR}/unzip.c)
  message(FATAL_ERROR "minizip sources missing in ${KIV_MINIZIP_DIR}: run scripts/setup.sh")
endif()
# The static archive: Windows ships no zlib1.dll, and a DLL that is not a system library would
# be looked up beside the program, where anyone can plant one.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
add_library(minizip STATIC ${KIV_MINIZIP_DIR}/unzip.c ${KIV_MINIZIP_DIR}/ioapi.c)
target_include_directories(minizip SYSTEM PUBLIC ${KIV_MINIZIP_DIR})
target_link_libraries(minizip PUBLIC ZLIB::ZLIB)
