# What both mingw-w64 toolchain files share; they set `triple` and `wine_arch` first. The posix
# thread model is the one GoogleTest builds with.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_C_COMPILER ${triple}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER ${triple}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER ${triple}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest runs the test programs under Wine, in a prefix kept inside the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEARCH=${wine_arch}
                                  ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
