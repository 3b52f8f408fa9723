# Cross build for 64-bit Windows with Debian's mingw-w64. The "-posix" compilers are the ones whose
# C++ library has std::mutex and std::thread (the "-win32" ones of GCC 12 lack them).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HOSHIWA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${HOSHIWA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HOSHIWA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${HOSHIWA_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${HOSHIWA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in, so that a program needs no DLL beyond those every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here (the test discovery, ctest) run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine_run.sh)
