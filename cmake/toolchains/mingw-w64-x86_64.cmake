# Cross-compiles for 64-bit Windows with MinGW-w64 (the POSIX-threads flavour
# of GCC, which std::thread and std::mutex need).
#   cmake -S . -B build/windows \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
# Tests run under Wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VANTREL_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${VANTREL_MINGW_PREFIX}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VANTREL_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VANTREL_MINGW_PREFIX}-windres)
find_program(CMAKE_OBJDUMP NAMES ${VANTREL_MINGW_PREFIX}-objdump)

# Only the MinGW sysroot holds target libraries and headers; programs are
# searched on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VANTREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The GCC runtime (libgcc, libstdc++ and winpthread) is linked statically
# into the DLL and into every executable, so that Vantrel.dll needs only
# DLLs that every Windows system has (KERNEL32 and msvcrt). -static makes
# the linker prefer the static libwinpthread.a over its import library.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

# Run the Windows executables (tests and test discovery) under Wine on the
# build machine, in a Wine prefix of the build tree's own; wine-run.sh says
# why it wraps Wine.
find_program(VANTREL_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(VANTREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${VANTREL_WINE};${CMAKE_BINARY_DIR}/wineprefix")
endif()
