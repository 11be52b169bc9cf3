# vak_add_test(NAME SOURCES... LIBS...) — one GoogleTest executable, its cases discovered by CTest.
function(vak_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VAK_SOURCE_DIR=${PROJECT_SOURCE_DIR};VAK_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
               LABELS "${T_LABELS}"
    DISCOVERY_TIMEOUT 60)
endfunction()
