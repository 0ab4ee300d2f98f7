# Reads cmake/targets.txt, the one list of portable builds, for the toolchain file and the tests.
include_guard(GLOBAL)

# qx_targets(<out>): the name of every target, in the order of the list.
# qx_target(<name> <prefix>): that target's row as <prefix>_DEB_ARCH, <prefix>_TRIPLET,
#   <prefix>_MUSL, <prefix>_QEMU and <prefix>_SWEEP; an unknown name stops the configuration.
function(qx_targets out)
  file(STRINGS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/targets.txt rows REGEX "^[a-z0-9_]")
  set(names "")
  foreach(row IN LISTS rows)
    string(REGEX MATCH "^[^ ]+" name "${row}")
    list(APPEND names ${name})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

function(qx_target name prefix)
  file(STRINGS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/targets.txt rows REGEX "^${name} ")
  if(NOT rows)
    qx_targets(names)
    message(FATAL_ERROR "QX_TARGET is '${name}'; the targets are: ${names}")
  endif()
  string(REGEX REPLACE " +" ";" fields "${rows}")
  list(GET fields 1 deb_arch)
  list(GET fields 2 triplet)
  list(GET fields 3 musl)
  list(GET fields 4 qemu)
  list(GET fields 5 sweep)
  set(${prefix}_DEB_ARCH ${deb_arch} PARENT_SCOPE)
  set(${prefix}_TRIPLET ${triplet} PARENT_SCOPE)
  set(${prefix}_MUSL ${musl} PARENT_SCOPE)
  set(${prefix}_QEMU ${qemu} PARENT_SCOPE)
  set(${prefix}_SWEEP ${sweep} PARENT_SCOPE)
endfunction()

# qx_target_tools(<name> <prefix>): what building and running the target needs on this machine.
#   <prefix>_CXX       the cross compiler, found by its triplet, or <prefix>_CXX-NOTFOUND;
#   <prefix>_EMULATOR  qemu-user for a foreign target, empty where this machine runs the code;
#   <prefix>_MISSING   what is missing, with the Debian package that brings it; empty when the
#                      compiler, musl's libc.a and the emulator are all here;
#   <prefix>_SWEEP     whether the row runs the whole zone sweep ("yes" or "no").
function(qx_target_tools name prefix)
  qx_target(${name} row)
  set(missing "")
  find_program(${prefix}_CXX ${row_TRIPLET}-g++)
  if(NOT ${prefix}_CXX)
    list(APPEND missing "${row_TRIPLET}-g++ (g++-${row_TRIPLET})")
  endif()
  if(NOT EXISTS /usr/lib/${row_MUSL}/libc.a)
    list(APPEND missing "/usr/lib/${row_MUSL}/libc.a (musl-dev:${row_DEB_ARCH})")
  endif()
  set(emulator "")
  if(NOT name STREQUAL CMAKE_HOST_SYSTEM_PROCESSOR)
    find_program(${prefix}_QEMU qemu-${row_QEMU}-static)
    set(emulator ${${prefix}_QEMU})
    if(NOT emulator)
      list(APPEND missing "qemu-${row_QEMU}-static (qemu-user-static)")
    endif()
  endif()
  string(JOIN ", " missing ${missing})
  set(${prefix}_EMULATOR ${emulator} PARENT_SCOPE)
  set(${prefix}_MISSING "${missing}" PARENT_SCOPE)
  set(${prefix}_SWEEP ${row_SWEEP} PARENT_SCOPE)
endfunction()
