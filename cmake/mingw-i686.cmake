# Cross build for 32-bit Windows with Debian's mingw-w64 (posix thread model: GoogleTest needs it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(triple i686-w64-mingw32)

find_program(CMAKE_C_COMPILER ${triple}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER ${triple}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER ${triple}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest runs the test programs under Wine, in a prefix kept inside the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
