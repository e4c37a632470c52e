# minizip's unzip interface and zlib's inflate, compiled from Debian's source packages (fetched
# by the setup script into .cache/minizip and .cache/zlib). Nothing of them is kept in the
# repository. zlib is compiled here rather than taken as MinGW's archive: that archive is built
# for speed without a section per function, and weighed some 18 KB more in the launcher. Linked
# statically: Windows ships no zlib1.dll, and a DLL that is not a system library would be looked
# up beside the program, where anyone can plant one.
set(KIV_MINIZIP_DIR ${PROJECT_SOURCE_DIR}/.cache/minizip CACHE PATH "minizip sources")
set(KIV_ZLIB_DIR ${PROJECT_SOURCE_DIR}/.cache/zlib CACHE PATH "zlib sources")
foreach(source ${KIV_MINIZIP_DIR}/unzip.c ${KIV_ZLIB_DIR}/inflate.c)
  if(NOT EXISTS ${source})
    message(FATAL_ERROR "${source} is missing: run scripts/setup.sh")
  endif()
endforeach()
# Only what inflating needs: the launcher reads archives and never writes them.
add_library(zlib_inflate STATIC ${KIV_ZLIB_DIR}/inflate.c ${KIV_ZLIB_DIR}/inftrees.c
            ${KIV_ZLIB_DIR}/inffast.c ${KIV_ZLIB_DIR}/crc32.c ${KIV_ZLIB_DIR}/adler32.c
            ${KIV_ZLIB_DIR}/zutil.c)
target_include_directories(zlib_inflate SYSTEM PUBLIC ${KIV_ZLIB_DIR})
# No unwinding tables: zlib calls none of the launcher's code, so no exception passes through it.
target_compile_options(zlib_inflate PRIVATE -fno-asynchronous-unwind-tables -w)
add_library(minizip STATIC ${KIV_MINIZIP_DIR}/unzip.c ${KIV_MINIZIP_DIR}/ioapi.c)
target_include_directories(minizip SYSTEM PUBLIC ${KIV_MINIZIP_DIR})
target_link_libraries(minizip PUBLIC zlib_inflate)
# Compressed data is read in pieces of 64 KB rather than 16 KB: a quarter of the reads of a pack.
target_compile_definitions(minizip PRIVATE UNZ_BUFSIZE=65536)
# No unwinding tables either: the file access minizip calls back into raises nothing.
target_compile_options(minizip PRIVATE -fno-asynchronous-unwind-tables)
