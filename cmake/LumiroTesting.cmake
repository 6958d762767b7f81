# Test helpers. Under the Windows build every test runs through Wine in the
# build tree's own prefix; a fixture prepares that prefix, a display and a
# persistent wineserver once per ctest run and ends them afterwards.

set(LUMIRO_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)

if(WIN32)
  add_test(NAME wine_session_start COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh start)
  add_test(NAME wine_session_stop COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh stop)
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine
    ENVIRONMENT "LUMIRO_WINE_ROOT=${LUMIRO_WINE_ROOT}" TIMEOUT 300)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine
    ENVIRONMENT "LUMIRO_WINE_ROOT=${LUMIRO_WINE_ROOT}")
endif()

# lumiro_test_code(<target>...): code that only the tests run (test programs,
# their helpers, GoogleTest) is built for a quick build rather than for a
# debugger: no debug information of its own and light optimisation (-O1
# keeps the warnings that need data flow), and a program leaves out the
# debug information of the libraries it links. setup.exe, lumpack and the
# libraries they are made of keep the build type's flags and debug
# information; test programs link those very libraries.
function(lumiro_test_code)
  foreach(target ${ARGN})
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-g0 -O1>)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE" OR type STREQUAL "SHARED_LIBRARY")
      target_link_options(${target} PRIVATE -Wl,--strip-debug)
    endif()
  endforeach()
endfunction()

# One precompiled header for the C++ code of the test programs: the system's,
# the standard library's and GoogleTest's headers that nearly every test file
# reads, parsed once per tree instead of once per file. It is made in a target
# of its own (from an empty file) with the test code's flags; the test code
# reuses it (lumiro_test_pch). A file that cannot use it (GCC checks) reads
# the headers as text, as before.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/lumiro_test_pch.cpp CONTENT "")
add_library(lumiro_test_pch OBJECT ${CMAKE_BINARY_DIR}/lumiro_test_pch.cpp)
target_link_libraries(lumiro_test_pch PRIVATE GTest::gtest)
lumiro_test_code(lumiro_test_pch)
set(headers <gtest/gtest.h> <algorithm> <cstdint> <cstring> <deque> <functional> <map> <memory> <string> <vector>)
if(WIN32)
  list(PREPEND headers <windows.h>)
endif()
target_precompile_headers(lumiro_test_pch PRIVATE ${headers})

# lumiro_test_pch(<target>...): C++ test code that reuses the precompiled
# header.
function(lumiro_test_pch)
  foreach(target ${ARGN})
    target_precompile_headers(${target} REUSE_FROM lumiro_test_pch)
  endforeach()
endfunction()

# lumiro_test_properties(<test>...): what every test of the Windows build needs.
function(lumiro_test_properties)
  if(WIN32)
    set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED wine
      ENVIRONMENT "LUMIRO_WINE_ROOT=${LUMIRO_WINE_ROOT};LUMIRO_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  endif()
endfunction()

# lumiro_gtest(<name> SOURCES ... LIBRARIES ...): one GoogleTest program,
# registered as one ctest test (run natively, or under Wine for Windows).
function(lumiro_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} GTest::gtest GTest::gtest_main)
  lumiro_test_code(${name})
  lumiro_test_pch(${name})
  if(WIN32)
    # Tests are console programs so that ctest reads their output.
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  lumiro_test_properties(${name})
endfunction()
