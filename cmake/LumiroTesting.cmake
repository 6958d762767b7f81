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
  if(WIN32)
    # Tests are console programs so that ctest reads their output.
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  lumiro_test_properties(${name})
endfunction()
