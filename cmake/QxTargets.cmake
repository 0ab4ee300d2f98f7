# Reads cmake/targets.txt, the one list of portable builds, for the toolchain file and the tests.
include_guard(GLOBAL)

# A foreign target's musl is not installed, as its version would have to match the host's:
# scripts/sysroot.sh unpacks it into build/sysroot/<Debian arch>, or where QX_SYSROOTS says.
cmake_path(SET QX_SYSROOTS NORMALIZE ${CMAKE_CURRENT_LIST_DIR}/../build/sysroot)
if(DEFINED ENV{QX_SYSROOTS})
  set(QX_SYSROOTS $ENV{QX_SYSROOTS})
endif()

# qx_targets(<out>): the name of every target, in the order of the list.
function(qx_targets out)
  file(STRINGS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/targets.txt rows REGEX "^[a-z0-9_]")
  list(TRANSFORM rows REPLACE " .*" "")
  set(${out} ${rows} PARENT_SCOPE)
endfunction()

# qx_target(<name> <prefix>): that target's row as <prefix>_DEB_ARCH, _TRIPLET, _MUSL and _QEMU,
# and <prefix>_MUSL_ROOT, the folder whose usr/lib/<musl> holds its libc.a, or
# <prefix>_MUSL_ROOT-NOTFOUND. An unknown name stops the configuration.
function(qx_target name prefix)
  file(STRINGS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/targets.txt row REGEX "^${name} ")
  if(NOT row)
    qx_targets(names)
    message(FATAL_ERROR "QX_TARGET is '${name}'; the targets are: ${names}")
  endif()
  string(REGEX REPLACE " +" ";" row "${row}")
  list(POP_FRONT row _ ${prefix}_DEB_ARCH ${prefix}_TRIPLET ${prefix}_MUSL ${prefix}_QEMU)
  find_path(${prefix}_MUSL_ROOT usr/lib/${${prefix}_MUSL}/libc.a
    PATHS / ${QX_SYSROOTS}/${${prefix}_DEB_ARCH} NO_DEFAULT_PATH NO_CACHE)
  return(PROPAGATE ${prefix}_DEB_ARCH ${prefix}_TRIPLET ${prefix}_MUSL ${prefix}_QEMU
    ${prefix}_MUSL_ROOT)
endfunction()

# qx_target_tools(<name> <prefix>): <prefix>_TRIPLET, <prefix>_EMULATOR (qemu-user for a foreign
# target, else empty) and <prefix>_MISSING, each missing tool with what brings it.
function(qx_target_tools name prefix)
  qx_target(${name} row)
  set(${prefix}_TRIPLET ${row_TRIPLET})
  set(${prefix}_EMULATOR "")
  set(missing "")
  find_program(${prefix}_CXX ${row_TRIPLET}-g++)
  if(NOT ${prefix}_CXX)
    list(APPEND missing "${row_TRIPLET}-g++ (g++-${row_TRIPLET})")
  endif()
  if(NOT row_MUSL_ROOT)
    list(APPEND missing "musl for ${row_DEB_ARCH} (scripts/sysroot.sh)")
  endif()
  if(NOT name STREQUAL CMAKE_HOST_SYSTEM_PROCESSOR)
    find_program(${prefix}_QEMU qemu-${row_QEMU}-static)
    set(${prefix}_EMULATOR ${${prefix}_QEMU})
    if(NOT ${prefix}_QEMU)
      list(APPEND missing "qemu-${row_QEMU}-static (qemu-user-static)")
    endif()
  endif()
  string(JOIN ", " ${prefix}_MISSING ${missing})
  return(PROPAGATE ${prefix}_TRIPLET ${prefix}_EMULATOR ${prefix}_MISSING)
endfunction()
