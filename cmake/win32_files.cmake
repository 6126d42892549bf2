# Checks that the 32-bit build the 64-bit build uses (its packages, its side-by-side and install
# tests) is there. Run with -DBUILD=<the win32 preset's build folder>.
foreach(file Quilmar.dll tests/win32/client_test.exe tests/win32/old_client_test.exe)
  if(NOT EXISTS ${BUILD}/${file})
    message(FATAL_ERROR "${BUILD}/${file} is missing: build the win32 preset first "
                        "(cmake --preset win32 && cmake --build --preset win32)")
  endif()
endforeach()
