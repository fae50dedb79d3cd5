# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
# The posix thread model gives std::thread and std::mutex; the programs are linked
# statically (see CMakeLists.txt), so each .exe runs on a bare Windows.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Tests run under Wine through CMAKE_CROSSCOMPILING_EMULATOR (scripts/wine-run.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUELVAR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUELVAR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUELVAR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUELVAR_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUELVAR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the .exe files through Wine (WINEPREFIX and WINEDEBUG come from the wrapper).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)

# No interprocedural register allocation: with it, GCC lets a caller keep values in registers
# that its copy of an inline function (a template instance) leaves alone, but the linker keeps
# one copy of each such function from whichever object comes first, Qt's or ours. Qt's random
# generator then lost its loop pointer to our copy of std::mt19937's refill and wrote over
# memory. Qt for Windows is built with this toolchain, so the flag holds for both.
set(CMAKE_C_FLAGS_INIT "-fno-ipa-ra")
set(CMAKE_CXX_FLAGS_INIT "-fno-ipa-ra")

# -O2, as the native RelWithDebInfo build: GCC 12's -O3 inlining gives false -Wrestrict
# warnings in std::string's operator+ (GCC bug 105329), which -Werror would make fatal.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of a Release build")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of a Release build")
