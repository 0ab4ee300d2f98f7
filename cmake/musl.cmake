# Toolchain of the portable builds: a static PIE against musl for the target QX_TARGET of
# targets.txt (a cache or, from the "static" preset, an environment variable), by Debian's g++
# for it. Debian has no C++ driver for musl, so g++ is handed musl's headers, start files and
# libc.a by hand. libstdc++'s headers test glibc's __GLIBC_PREREQ; the product includes C headers
# only, so the compile sees musl's alone, and a C++ library header fails here at once instead of
# half-working against the wrong C library.
include(${CMAKE_CURRENT_LIST_DIR}/QxTargets.cmake)
if(NOT QX_TARGET)
  set(QX_TARGET $ENV{QX_TARGET})
endif()
qx_target("${QX_TARGET}" qx)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QX_TARGET)

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${QX_TARGET})
find_program(qx_cxx ${qx_TRIPLET}-g++ NO_CACHE)
if(NOT qx_cxx)
  message(FATAL_ERROR "${QX_TARGET}: no ${qx_TRIPLET}-g++ (Debian: g++-${qx_TRIPLET})")
endif()
set(CMAKE_CXX_COMPILER ${qx_cxx})
set(CMAKE_CXX_FLAGS_INIT -nostdinc)
if(NOT qx_MUSL_ROOT)
  message(FATAL_ERROR "${QX_TARGET}: no musl for ${qx_DEB_ARCH}; scripts/sysroot.sh fetches it")
endif()
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${qx_MUSL_ROOT}/usr/include/${qx_MUSL})

# Linked with no default file (-nostdlib), the start files in their fixed order around the
# objects: rcrt1.o is musl's start for a static PIE, which relocates the program itself before
# main. -pie with a static link and no program interpreter is a static PIE on every target; gcc's
# own -static-pie is not built into every cross compiler. libgcc's helpers (64-bit division on
# 32-bit targets, for one) may call back into libc, so the two are searched as a group.
set(qx_lib ${qx_MUSL_ROOT}/usr/lib/${qx_MUSL})
foreach(part begin end)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=crt${part}S.o
    OUTPUT_VARIABLE qx_crt${part} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-static,--no-dynamic-linker")
set(CMAKE_CXX_LINK_EXECUTABLE "<CMAKE_CXX_COMPILER> <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> \
-nostdlib ${qx_lib}/rcrt1.o ${qx_lib}/crti.o ${qx_crtbegin} <OBJECTS> -o <TARGET> \
<LINK_LIBRARIES> -L${qx_lib} -Wl,--start-group -lc -lgcc -Wl,--end-group ${qx_crtend} \
${qx_lib}/crtn.o")

# CMake finds the matching binutils (strip, objcopy) by the compiler's prefix.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
