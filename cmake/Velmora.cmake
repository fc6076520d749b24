# Helper functions shared by every folder. Each folder of src/ is one static library whose
# link set says what it may use; nothing is put on a global include path.

# Warnings are errors in our own code (never in Qt's or other libraries' headers).
function(velmora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wshadow=local)
  endif()
endfunction()

# velmora_add_library(<folder> SOURCES ... [LINKS ...])
# Creates the static library velmora_<folder>, alias velmora::<folder>. Headers are included as
# "<folder>/<file>.h".
function(velmora_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(velmora_${name} STATIC ${ARG_SOURCES})
  add_library(velmora::${name} ALIAS velmora_${name})
  target_include_directories(velmora_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(velmora_${name} PUBLIC ${ARG_LINKS})
  velmora_warnings(velmora_${name})
endfunction()

# velmora_add_test(<name> SOURCES ... [LINKS ...])
# One GoogleTest executable; each test case becomes a ctest test at test time. The shared main()
# gives every run a private HOME and configuration folder (tests/support/test_main.cpp).
function(velmora_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} velmora_test_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE VELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             VELMORA_BUILD_DIR="${CMAKE_BINARY_DIR}")
  velmora_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300)
endfunction()
