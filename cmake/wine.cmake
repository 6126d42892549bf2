# Wine as the Windows builds use it, decided once here: the prefixes in the build folder, and
# whether this machine runs 32-bit programs at all (some virtual machines' kernels refuse them).

# Everything run under Wine runs in the build folder's own prefix, made for the target's bitness
# (a 64-bit prefix also runs 32-bit programs). The programs that must be 64-bit whatever the
# target (the type-library writer, the static checks of the 32-bit file) run in a 64-bit prefix:
# the 64-bit build's own, a second one beside the 32-bit build's.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QUILMAR_WINEARCH win64)
  set(QUILMAR_WINE64_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
else()
  set(QUILMAR_WINEARCH win32)
  set(QUILMAR_WINE64_PREFIX ${CMAKE_BINARY_DIR}/wineprefix-win64)
endif()
set(QUILMAR_WINE_ENV WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEARCH=${QUILMAR_WINEARCH})
set(QUILMAR_WINE64_ENV WINEPREFIX=${QUILMAR_WINE64_PREFIX} WINEARCH=win64)

set(QUILMAR_32BIT_PROGRAMS AUTO CACHE STRING "Whether 32-bit Windows programs run here under \
Wine: AUTO asks scripts/runs-32bit.sh; OFF acts as a machine whose kernel runs none")
set_property(CACHE QUILMAR_32BIT_PROGRAMS PROPERTY STRINGS AUTO ON OFF)
if(QUILMAR_32BIT_PROGRAMS STREQUAL "AUTO")
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/runs-32bit.sh RESULT_VARIABLE status
                  OUTPUT_QUIET ERROR_QUIET)
  if(status EQUAL 0)
    set(QUILMAR_RUNS_32BIT ON)
  else()
    set(QUILMAR_RUNS_32BIT OFF)
  endif()
elseif(QUILMAR_32BIT_PROGRAMS)
  set(QUILMAR_RUNS_32BIT ON)
else()
  set(QUILMAR_RUNS_32BIT OFF)
endif()
set(QUILMAR_NO_32BIT "SKIPPED: this machine runs no 32-bit programs (scripts/runs-32bit.sh, or \
QUILMAR_32BIT_PROGRAMS=OFF): the 32-bit files are built and checked statically, not run")
if(NOT QUILMAR_TOOLS_ONLY)
  if(QUILMAR_RUNS_32BIT)
    message(STATUS "32-bit Windows programs run here: the tests that run them are run")
  else()
    message(STATUS "${QUILMAR_NO_32BIT}")
  endif()
endif()

# Registers a test that runs 32-bit Windows programs (add_test's arguments after NAME). Where none
# runs, the test is still listed, and shows as skipped with the reason.
function(quilmar_add_test_32bit name)
  if(QUILMAR_RUNS_32BIT)
    add_test(NAME ${name} ${ARGN})
  else()
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "${QUILMAR_NO_32BIT}")
    # The label puts the reason in CTest's summary too.
    set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "^SKIPPED: "
                                            LABELS "skipped: this machine runs no 32-bit programs")
  endif()
endfunction()
