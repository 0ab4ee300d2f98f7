# The developer mode: warnings (errors under the presets' CMAKE_COMPILE_WARNING_AS_ERROR),
# sanitizers, the fuzz targets and the tests (added at the end of CMakeLists.txt, once the
# product's targets exist). A plain build, a packager's, includes none of it.
# -Wformat=2 rejects any printf format that is not a literal, so text from the command line can
# never become one.
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
