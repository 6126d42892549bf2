# What a Windows user downloads, made by the 64-bit build: the installer packages (per user and
# per machine) and the release archive (target `package`). Both carry the 64-bit Quilmar.dll of
# this build and the 32-bit one of the build folder QUILMAR_WIN32_BUILD_DIR names (the win32
# preset's, built first).
set(QUILMAR_DLL32 ${QUILMAR_WIN32_BUILD_DIR}/Quilmar.dll)
set(packages_dir ${CMAKE_BINARY_DIR})
# Says what to build when the 32-bit file is missing, before make would only find no rule.
add_custom_target(quilmar_win32_dll
                  COMMAND ${CMAKE_COMMAND} -DBUILD=${QUILMAR_WIN32_BUILD_DIR}
                          -P ${PROJECT_SOURCE_DIR}/cmake/win32_files.cmake)

find_program(QUILMAR_WIXL wixl REQUIRED)
find_program(QUILMAR_MSIINFO msiinfo REQUIRED)  # the tests read packages back
set(QUILMAR_PACKAGES)
foreach(scope user machine)
  set(msi ${packages_dir}/Quilmar-${PROJECT_VERSION}-${scope}.msi)
  add_custom_command(
    OUTPUT ${msi}
    COMMAND ${CMAKE_COMMAND} -DWIXL=${QUILMAR_WIXL} -DVERSION=${PROJECT_VERSION} -DSCOPE=${scope}
            -DROWS=${QUILMAR_PACKAGE_ROWS} -DDLL64=$<TARGET_FILE:Quilmar> -DDLL32=${QUILMAR_DLL32}
            -DOUT=${msi} -P ${PROJECT_SOURCE_DIR}/installer/msi.cmake
    DEPENDS ${QUILMAR_PACKAGE_ROW_FILES} quilmar_package_rows Quilmar ${QUILMAR_DLL32}
            quilmar_win32_dll
            ${PROJECT_SOURCE_DIR}/installer/Quilmar.wxs
            ${PROJECT_SOURCE_DIR}/installer/msi.cmake
    COMMENT "Building the installer package Quilmar-${PROJECT_VERSION}-${scope}.msi"
    VERBATIM)
  list(APPEND QUILMAR_PACKAGES ${msi})
  set(QUILMAR_MSI_${scope} ${msi})
endforeach()
add_custom_target(quilmar_installer ALL DEPENDS ${QUILMAR_PACKAGES})

# The release archive: both files, the header, the README, the examples, the packages and the
# install note. Only this component goes in, not what third-party code would install.
set(release COMPONENT release)
install(FILES $<TARGET_FILE:Quilmar> DESTINATION x64 ${release})
install(FILES ${QUILMAR_DLL32} DESTINATION x86 ${release})
install(FILES include/quilmar/quilmar.h include/quilmar/com_types.h DESTINATION include/quilmar
        ${release})
install(FILES README.md installer/INSTALL.txt ${QUILMAR_PACKAGES} DESTINATION . ${release})
install(FILES examples/client.cpp examples/sort_lines.vbs examples/lines.txt
              examples/from_vba.vbs DESTINATION examples ${release})
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Quilmar)
set(CPACK_PACKAGE_FILE_NAME Quilmar-${PROJECT_VERSION}-windows)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Quilmar;release;/")
include(CPack)
