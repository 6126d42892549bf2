# The release version's fields as Windows' version numbers carry them. Windows Installer compares
# only the first three fields of a version when it looks for the package to upgrade, and the
# project counts its releases in the fourth: patch and tweak share one number (1.0.0.5 gives 5,
# 1.0.1.0 gives 1000), the installer package's third field and the version block's text's last.
# Sets PREFIX_MAJOR, PREFIX_MINOR and PREFIX_RELEASE.
function(quilmar_version_fields version prefix)
  if(NOT version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "the version is four numbers, not ${version}")
  endif()
  math(EXPR release "${CMAKE_MATCH_3} * 1000 + ${CMAKE_MATCH_4}")
  if(CMAKE_MATCH_1 GREATER 255 OR CMAKE_MATCH_2 GREATER 255 OR CMAKE_MATCH_4 GREATER 999
     OR release GREATER 65535)
    message(FATAL_ERROR "${version} does not fit Windows' version numbers")
  endif()
  set(${prefix}_MAJOR ${CMAKE_MATCH_1} PARENT_SCOPE)
  set(${prefix}_MINOR ${CMAKE_MATCH_2} PARENT_SCOPE)
  set(${prefix}_RELEASE ${release} PARENT_SCOPE)
endfunction()

# The version as the version block's strings spell it: major, minor in two digits and the release
# number in four, "1.00.0005" for 1.0.0.5.
function(quilmar_version_text version var)
  quilmar_version_fields(${version} v)
  if(v_MINOR GREATER 99 OR v_RELEASE GREATER 9999)
    message(FATAL_ERROR "${version} does not fit the version block's text")
  endif()
  string(LENGTH "${v_MINOR}" minor_digits)
  string(LENGTH "${v_RELEASE}" release_digits)
  math(EXPR minor_zeros "2 - ${minor_digits}")
  math(EXPR release_zeros "4 - ${release_digits}")
  string(REPEAT 0 ${minor_zeros} minor_padding)
  string(REPEAT 0 ${release_zeros} release_padding)
  set(${var} "${v_MAJOR}.${minor_padding}${v_MINOR}.${release_padding}${v_RELEASE}" PARENT_SCOPE)
endfunction()
