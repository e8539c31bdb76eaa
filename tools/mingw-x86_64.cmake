# Cross-build for 64-bit Windows with mingw-w64 (posix thread model, static runtime); SSE2 maths is the
# x86-64 default. VELK_MINGW_PREFIX names the folder made by tools/build_mingw_deps.sh with this file
# (libpng, libjpeg-turbo, FreeType, GoogleTest of this width).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

if(NOT VELK_MINGW_PREFIX)
  set(VELK_MINGW_PREFIX "$ENV{VELK_MINGW_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${VELK_MINGW_PREFIX})
set(CMAKE_PREFIX_PATH ${VELK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Link zlib statically: the prefix also holds an import library for the DLL.
set(ZLIB_LIBRARY /usr/x86_64-w64-mingw32/lib/libz.a CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/x86_64-w64-mingw32/include CACHE PATH "")
# Wine's 64-bit loader, which tools/windows_test.sh puts on PATH under this name.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
