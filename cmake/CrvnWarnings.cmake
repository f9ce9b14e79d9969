# Compiler warnings and sanitizers for every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic)
# GCC 12 reports false out-of-bounds copies and reads inside std::string's operator+
# at -O1 and above (fixed in GCC 13); the sanitizer build checks bounds at
# run time instead.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread)
endif()
if(CRVN_WERROR)
  add_compile_options(-Werror)
endif()

# Clang's compile-time lock analysis (foundation/thread_annotations.h).
if(CRVN_CLANG_TSA)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "CRVN_CLANG_TSA needs clang (scripts/test --clang-tsa configures it)")
  endif()
  add_compile_options(-Wthread-safety -Werror=thread-safety)
endif()

if(CRVN_ASAN AND CRVN_TSAN)
  message(FATAL_ERROR "CRVN_ASAN and CRVN_TSAN cannot be combined")
endif()
# GCC 12 reports false maybe-uninitialized warnings inside the standard
# library (std::regex, std::function) once the sanitizers instrument it.
if(CRVN_ASAN OR CRVN_TSAN)
  add_compile_options(-Wno-maybe-uninitialized)
endif()
if(CRVN_ASAN)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
# The fuzz build instruments every library for coverage; the targets in fuzz/
# link libFuzzer's own main.
if(CRVN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "CRVN_FUZZ needs clang (scripts/fuzz configures it)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
if(CRVN_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
