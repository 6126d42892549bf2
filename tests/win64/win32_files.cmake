# Makes the 32-bit Quilmar.dll and C++ client that the 64-bit prefix's side-by-side tests use: the
# win32 preset's build, configured first if it never was. Run with -DSOURCE=... -DBUILD=...
if(NOT EXISTS ${BUILD}/CMakeCache.txt)
  execute_process(COMMAND ${CMAKE_COMMAND} --preset win32 WORKING_DIRECTORY ${SOURCE}
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} -j 2 --target Quilmar client_test
                COMMAND_ERROR_IS_FATAL ANY)
