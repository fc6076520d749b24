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

# velmora_add_test(<name> SOURCES ... [LINKS ...] [ENV ...])
# One GoogleTest executable; each test case becomes a ctest test at test time. Tests get a
# private HOME and config folder so that they never touch the user's real profile.
function(velmora_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  velmora_warnings(${name})
  set(home ${CMAKE_BINARY_DIR}/test-home/${name})
  file(MAKE_DIRECTORY ${home}/config ${home}/runtime)
  file(CHMOD ${home}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT
      "HOME=${home};XDG_CONFIG_HOME=${home}/config;XDG_RUNTIME_DIR=${home}/runtime;QT_QPA_PLATFORM=offscreen;VELMORA_BUILD_DIR=${CMAKE_BINARY_DIR};VELMORA_SOURCE_DIR=${PROJECT_SOURCE_DIR};${ARG_ENV}"
    TIMEOUT 300)
endfunction()
