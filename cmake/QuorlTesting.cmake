# Test helpers shared by every tests/ folder.
#
# Labels: every test carries its layer's label; core tests (no Qt) also carry
# "core" and run again under AddressSanitizer + UndefinedBehaviorSanitizer;
# tests that run threads also carry "threaded" and run under ThreadSanitizer.

find_package(GTest REQUIRED)
include(GoogleTest)

# quorl_add_gtest(NAME name SOURCES ... LIBS ... LABELS ... [THREADED])
function(quorl_add_gtest)
  cmake_parse_arguments(T "THREADED" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${T_NAME} PRIVATE QUORL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  set(labels core ${T_LABELS})
  if(T_THREADED)
    list(APPEND labels threaded)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  # A hang guard, not a speed limit: sanitizers on a busy machine are slow.
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${labels}" TIMEOUT 1200)
endfunction()

# quorl_add_qttest(NAME name SOURCES ... LIBS ... LABELS ...)
# Qt Test programs run on the offscreen platform.
function(quorl_add_qttest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test Qt6::Widgets Threads::Threads)
  target_compile_definitions(${T_NAME} PRIVATE QUORL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES LABELS "gui;${T_LABELS}" TIMEOUT 1200
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_FATAL_WARNINGS=0;QTEST_FUNCTION_TIMEOUT=900000")
endfunction()
