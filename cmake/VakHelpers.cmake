# vak_add_test(NAME GUI|CORE SOURCES... LIBS... [LOCALE locale] [LABELS...]) — one GoogleTest
# executable, its cases discovered by CTest. Its main() is tests/support/TestMain.cpp: it
# sets QT_QPA_PLATFORM=offscreen, VAK_SOURCE_DIR and VAK_BIN_DIR when they are not set (and
# LC_ALL to LOCALE when given), then makes the application object: a QApplication for GUI,
# a QCoreApplication for CORE. Every test links test_support.
function(vak_add_test name)
  cmake_parse_arguments(T "GUI;CORE" "LOCALE" "SOURCES;LIBS;LABELS" ${ARGN})
  if(T_GUI STREQUAL T_CORE)
    message(FATAL_ERROR "vak_add_test(${name}): say GUI or CORE")
  endif()
  # Discovered tests take their properties through a command line, where a list of labels
  # falls apart: every label after the first would become a property name and select nothing.
  list(LENGTH T_LABELS label_count)
  if(label_count GREATER 1)
    message(FATAL_ERROR "vak_add_test(${name}): one label per test program (${T_LABELS})")
  endif()
  add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/TestMain.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS} test_support Qt6::Core GTest::gtest GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    VAK_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VAK_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  if(T_GUI)
    target_link_libraries(${name} PRIVATE Qt6::Widgets)
    target_compile_definitions(${name} PRIVATE VAK_TEST_GUI)
  endif()
  if(T_LOCALE)
    target_compile_definitions(${name} PRIVATE VAK_TEST_LOCALE="${T_LOCALE}")
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    PROPERTIES LABELS "${T_LABELS}"
    DISCOVERY_TIMEOUT 60)
endfunction()

# Runs a GUI test executable once more in a real X server (xvfb-run, the xcb platform):
# a real platform plugin behaves differently from offscreen, it even takes command-line
# options. Skipped, and said so, where xvfb-run is not installed.
function(vak_add_xvfb_test name)
  find_program(VAK_XVFB_RUN xvfb-run)
  if(VAK_XVFB_RUN)
    add_test(NAME ${name}_xvfb
             COMMAND ${VAK_XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:${name}>
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set_tests_properties(${name}_xvfb PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=xcb" LABELS xvfb)
  else()
    add_test(NAME ${name}_xvfb COMMAND ${CMAKE_COMMAND} -E echo "xvfb-run not installed: ${name} skipped in X")
    set_tests_properties(${name}_xvfb PROPERTIES SKIP_REGULAR_EXPRESSION "skipped in X" LABELS xvfb)
  endif()
endfunction()
