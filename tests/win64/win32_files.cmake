# Checks that the 32-bit build the side-by-side tests use is there. Run with -DBUILD=...
foreach(file Quilmar.dll tests/win32/client_test.exe tests/win32/old_client_test.exe)
  if(NOT EXISTS ${BUILD}/${file})
    message(FATAL_ERROR "${BUILD}/${file} is missing: build the win32 preset first "
                        "(cmake --preset win32 && cmake --build --preset win32), or configure "
                        "win64 with -DQUILMAR_WIN32_BUILD_DIR= to leave the 32-bit tests out")
  endif()
endforeach()
