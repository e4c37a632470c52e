set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
# The compilers of the win32 thread model: nothing here uses C++ threads, and the posix model
# links a thread library that adds about 28 KB to every binary and some thirty imports that each
# program binds at start.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(KIV_OBJDUMP x86_64-w64-mingw32-objdump)
set(KIV_OBJCOPY x86_64-w64-mingw32-objcopy)
set(KIV_DLLTOOL x86_64-w64-mingw32-dlltool)
