# crvn_library(<folder> SOURCES ... [DEPS ...])
#   One static library per folder, named crvn_<folder>. Headers are included
#   by their path from the project root: #include "foundation/log.h".
function(crvn_library folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(crvn_${folder} STATIC ${ARG_SOURCES})
  target_include_directories(crvn_${folder} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(crvn_${folder} PUBLIC ${ARG_DEPS})
endfunction()

# crvn_test(<folder> [NAME <executable>] [RESOURCE_LOCK <name>] SOURCES ... [DEPS ...])
#   The tests of one folder: one executable (test_<folder> unless named), each
#   test registered with CTest under the label <folder>. Tests that hold the
#   same resource lock never run side by side.
function(crvn_test folder)
  cmake_parse_arguments(ARG "" "NAME;RESOURCE_LOCK" "SOURCES;DEPS" ${ARGN})
  set(target test_${folder})
  if(ARG_NAME)
    set(target ${ARG_NAME})
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} crvn_testsupport GTest::gmock GTest::gtest_main)
  # GoogleTest's headers are the largest part of every test file: parse them once.
  target_precompile_headers(${target} PRIVATE <gmock/gmock.h> <gtest/gtest.h> <filesystem> <string> <vector>)
  set(properties LABELS ${folder})
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  gtest_discover_tests(${target}
    PROPERTIES ${properties}
    DISCOVERY_TIMEOUT 60)
endfunction()
