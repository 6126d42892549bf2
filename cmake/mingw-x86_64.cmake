# Cross build for 64-bit Windows with Debian's mingw-w64; its Wine prefix runs 32-bit programs too.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(triple x86_64-w64-mingw32)
set(wine_arch win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
