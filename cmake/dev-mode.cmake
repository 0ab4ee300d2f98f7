# The developer mode: warnings, sanitizers, fuzz targets; a packager's plain build has none.
# -Wformat=2 rejects any printf format that is not a literal: no user text can become one.
add_compile_options(-Wall -Wextra -Wpedantic -Wconversion -Wshadow -Wformat=2)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

option(QX_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(QX_SANITIZE)
  set(qx_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${qx_sanitizers})
  add_link_options(${qx_sanitizers})
endif()

option(QX_FUZZ "Build the libFuzzer targets in fuzz/ (needs clang)" OFF)
if(QX_FUZZ)
  # Everything is instrumented for coverage feedback; only the fuzz targets link libFuzzer.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
