# Builds one installer package with wixl. Run with
#   cmake -DWIXL=... -DVERSION=1.0.0.5 -DSCOPE=user|machine -DROWS=<folder of registry-*.wxi>
#         -DDLL64=... -DDLL32=... -DOUT=....msi -P msi.cmake
# The build makes the current version's packages; the upgrade test makes an older one the same way.
foreach(var WIXL VERSION SCOPE ROWS DLL64 DLL32 OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "msi.cmake: ${var} is not set")
  endif()
endforeach()
if(NOT SCOPE MATCHES "^(user|machine)$")
  message(FATAL_ERROR "msi.cmake: SCOPE is user or machine, not ${SCOPE}")
endif()

# The package's version: major, minor and the release number of cmake/version.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/version.cmake)
quilmar_version_fields(${VERSION} v)
set(msi_version "${v_MAJOR}.${v_MINOR}.${v_RELEASE}")

# The upgrade code, the same for every version and scope: a package replaces the product of any
# other version under it. The identifiers below are derived from it, the version and the scope, so
# that the same sources always give the same package: each version is a new product (a major
# upgrade), and each scope has its own components, as their files and keys differ.
set(upgrade_code 1CA2EBE5-1204-4286-8DB4-ABE102C2BAAB)
set(namespace ${upgrade_code})
string(UUID product_code NAMESPACE ${namespace} NAME "product ${SCOPE} ${msi_version}" TYPE SHA1
       UPPER)
string(UUID component64 NAMESPACE ${namespace} NAME "component ${SCOPE} x64" TYPE SHA1 UPPER)
string(UUID component32 NAMESPACE ${namespace} NAME "component ${SCOPE} x86" TYPE SHA1 UPPER)
string(UUID quilmar_folder NAMESPACE ${namespace} NAME "component ${SCOPE} Quilmar folder" TYPE SHA1
       UPPER)
string(UUID programs_folder NAMESPACE ${namespace} NAME "component ${SCOPE} Programs folder"
       TYPE SHA1 UPPER)

# wixl takes a file's source only as a path relative to where it runs.
set(stage ${OUT}.files)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage}/x64 ${stage}/x86)
file(COPY_FILE ${DLL64} ${stage}/x64/Quilmar.dll)
file(COPY_FILE ${DLL32} ${stage}/x86/Quilmar.dll)
execute_process(
  COMMAND ${WIXL} -a x64 -I ${ROWS} -D SCOPE=${SCOPE} -D VERSION=${msi_version}
          -D UPGRADE_CODE=${upgrade_code}
          -D PRODUCT_CODE=${product_code} -D COMPONENT64=${component64}
          -D COMPONENT32=${component32} -D QUILMAR_FOLDER=${quilmar_folder}
          -D PROGRAMS_FOLDER=${programs_folder} -D DLL64=x64/Quilmar.dll -D DLL32=x86/Quilmar.dll
          -o ${OUT} ${CMAKE_CURRENT_LIST_DIR}/Quilmar.wxs
  WORKING_DIRECTORY ${stage}
  RESULT_VARIABLE status)
file(REMOVE_RECURSE ${stage})
if(NOT status EQUAL 0)
  message(FATAL_ERROR "wixl failed (${status})")
endif()
