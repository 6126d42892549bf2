# The installer packages under Wine: per machine, per user, and an upgrade from the package of the
# previous version number. The checks compare a prefix's whole registry and file tree before and
# after, so each runs in a prefix of its own, copied at its start from a template that is made
# anew each run. Where no 32-bit program runs, the 32-bit clients and regsvr32 are left out
# (QUILMAR_ONLY_64BIT).
set(install_template ${CMAKE_CURRENT_BINARY_DIR}/install-template)
set(install_env "WINEARCH=win64;QUILMAR_INSTALL_TEMPLATE=${install_template}")
set(install_fixtures quilmar_install_template quilmar_win32_files)
set(client32 ${QUILMAR_WIN32_BUILD_DIR}/tests/win32/client_test.exe)
if(NOT QUILMAR_RUNS_32BIT)
  list(APPEND install_env QUILMAR_ONLY_64BIT=1)
endif()
set(install_sh ${CMAKE_CURRENT_SOURCE_DIR}/install.sh)

add_test(NAME win64_install_template COMMAND ${install_sh} template)
set_tests_properties(win64_install_template PROPERTIES
                     FIXTURES_SETUP quilmar_install_template
                     ENVIRONMENT "${install_env};WINEPREFIX=${install_template}")

add_test(NAME win64_install_per_machine
         COMMAND ${install_sh} per-machine ${QUILMAR_MSI_machine} $<TARGET_FILE:Quilmar>
                 ${QUILMAR_DLL32} ${PROJECT_SOURCE_DIR}/examples/from_vba.vbs
                 $<TARGET_FILE:client_test> ${client32})
add_test(NAME win64_install_per_user
         COMMAND ${install_sh} per-user ${QUILMAR_MSI_user} $<TARGET_FILE:Quilmar> ${QUILMAR_DLL32})
if(PROJECT_VERSION_TWEAK GREATER 0)
  math(EXPR previous_tweak "${PROJECT_VERSION_TWEAK} - 1")
  set(previous_version
      ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${previous_tweak})
else()
  message(FATAL_ERROR "install.cmake: name the previous version for the upgrade test")
endif()
add_test(NAME win64_install_upgrade
         COMMAND ${install_sh} upgrade ${QUILMAR_MSI_machine} $<TARGET_FILE:Quilmar>
                 ${QUILMAR_DLL32}
                 ${previous_version} ${QUILMAR_WIXL} ${QUILMAR_PACKAGE_ROWS}
                 ${PROJECT_SOURCE_DIR}/installer/msi.cmake)

foreach(check per_machine per_user upgrade)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/install-${check})
  file(MAKE_DIRECTORY ${dir})
  set_tests_properties(win64_install_${check} PROPERTIES
                       WORKING_DIRECTORY ${dir} FIXTURES_REQUIRED "${install_fixtures}"
                       ENVIRONMENT "${install_env};WINEPREFIX=${dir}/prefix")
endforeach()
set_tests_properties(win64_install_template win64_install_per_machine win64_install_per_user
                     win64_install_upgrade PROPERTIES TIMEOUT 600)
