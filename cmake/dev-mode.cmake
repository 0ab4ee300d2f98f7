# The developer mode: warnings and sanitizers; a packager's plain build has neither.
# -Wformat=2 rejects any printf format that is not a literal: no user text can become one.
add_compile_options(-Wall -Wextra -Wpedantic -Wconversion -Wshadow -Wformat=2)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

option(QX_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(QX_SANITIZE)
  set(qx_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${qx_sanitizers})
  add_link_options(${qx_sanitizers})
endif()
