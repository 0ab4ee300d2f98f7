# The hardening flags that Debian's dpkg-buildflags gives every package, so that a plain build is
# as hardened on any distribution. A family is added only where the caller's flags (CXXFLAGS,
# LDFLAGS, or the cache variables they set, those of the build type too) name none of it, so a
# packager's choice always wins; QX_HARDEN=OFF adds none. The promise, which the tests and the
# release checks hold every binary to: a PIE, a stack protector and a non-executable stack; for a
# dynamic build FORTIFY where optimised and full RELRO; for a static one no RELRO segment, as no
# dynamic linker makes anything read-only there, and on 64 KiB pages (ppc64le, mipsel) it pads the
# file for nothing (Debian's gcc links with RELRO unless told otherwise, hence -z norelro).
include_guard(GLOBAL)
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)

option(QX_HARDEN "Add the project's hardening flags where the caller's flags name none" ON)
if(NOT QX_HARDEN)
  return()
endif()

string(TOUPPER "${CMAKE_BUILD_TYPE}" qx_config)
set(qx_caller_flags "${CMAKE_CXX_FLAGS} ${CMAKE_EXE_LINKER_FLAGS} ${CMAKE_CXX_FLAGS_${qx_config}}")

# Code generation: each flag where the compiler accepts it for the target. The probe turns
# warnings into errors, as gcc only warns about some flags that do not apply to a target.
# Control-flow protection is CET on x86 and BTI with pointer authentication on aarch64. Each
# family is a regex of the names that belong to it, the last of them the flag to add.
set(CMAKE_REQUIRED_FLAGS -Werror)
foreach(family IN ITEMS "stack-protector|-fstack-protector-strong"
                        "stack-clash-protection|-fstack-clash-protection"
                        "cf-protection|branch-protection|-fcf-protection"
                        "branch-protection|cf-protection|-mbranch-protection=standard")
  string(REGEX MATCH "[^|]+$" flag "${family}")
  string(MAKE_C_IDENTIFIER "QX_HAVE${flag}" have)
  if(NOT qx_caller_flags MATCHES "${family}")
    check_cxx_compiler_flag(${flag} ${have})
    if(${have})
      add_compile_options(${flag})
    endif()
  endif()
endforeach()

# A printf whose format is not a literal and has no arguments is an error, as in Debian's builds.
if(NOT qx_caller_flags MATCHES "format-security")
  add_compile_options(-Wformat -Werror=format-security)
endif()

# FORTIFY needs the optimiser, so only optimised configurations get it (or every configuration,
# where the caller's own flags optimise), and a C library that fortifies anything: glibc does,
# musl has no fortified functions. Level 3 also checks buffers whose size is known only at run
# time (gcc 12, glibc 2.33 or later). -U first, as some distributions' compilers predefine level 2.
if(NOT qx_caller_flags MATCHES "_FORTIFY_SOURCE")
  set(CMAKE_REQUIRED_FLAGS "-O2 -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3")
  check_cxx_source_compiles([[
    #include <stdio.h>
    #if !defined(__USE_FORTIFY_LEVEL) || __USE_FORTIFY_LEVEL < 3
    #error no fortified functions at level 3
    #endif
    int main() { return 0; }]] QX_HAVE_FORTIFY)
  if(QX_HAVE_FORTIFY AND qx_caller_flags MATCHES "(^| )-O([1-3sz]|fast)?( |$)")
    add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3)
  elseif(QX_HAVE_FORTIFY)
    add_compile_options(
      "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=3>")
  endif()
endif()
unset(CMAKE_REQUIRED_FLAGS)

# A position-independent executable, where the caller has not chosen for or against one.
if(NOT qx_caller_flags MATCHES "(^| )-(f(no-)?(pie|PIE)|pie|no-pie|static-pie)( |$)")
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()

if(QX_STATIC AND NOT qx_caller_flags MATCHES "relro|-z,?now")
  add_link_options(-Wl,-z,norelro)
elseif(NOT qx_caller_flags MATCHES "relro|-z,?now")
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()

# A non-executable stack, which most targets' start files already ask for. glibc's start files
# for mips ask for an executable one, for the FPU emulator of kernels before 4.8; Debian's mipsel
# kernels are newer, and musl's start files never ask.
if(NOT qx_caller_flags MATCHES "execstack")
  add_link_options(-Wl,-z,noexecstack)
endif()
