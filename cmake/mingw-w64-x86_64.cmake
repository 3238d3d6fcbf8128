# Cross-compiling kt57d.exe for 64-bit Windows on Debian with MinGW-w64:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(kt57_mingw_prefix x86_64-w64-mingw32)
# The posix-threads flavour, because the win32 one lacks parts of <thread>/<mutex> in GCC 12.
find_program(CMAKE_C_COMPILER NAMES ${kt57_mingw_prefix}-gcc-posix ${kt57_mingw_prefix}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${kt57_mingw_prefix}-g++-posix ${kt57_mingw_prefix}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${kt57_mingw_prefix}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${kt57_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in: kt57d.exe needs nothing beside it but the board's driver DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
