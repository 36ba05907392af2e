# The cut engine's tests link only the engine: they do not depend on the window's code.
# Files fetched from Debian packages (real cameras' files) are kept in the build between runs.
set(cut_test_environment "VINTREL_CUT_PROGRAM=$<TARGET_FILE:vintrel-cut>;VINTREL_TEST_CACHE=${CMAKE_BINARY_DIR}/test-cache")

function(vintrel_cut_test name timeout)
  foreach(src ${ARGN})
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${src})
      message(FATAL_ERROR "${name}: the test source ${src} is missing")
    endif()
  endforeach()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE vintrel_cut_command_line GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout} LABELS cut ENVIRONMENT "${cut_test_environment}")
  add_dependencies(${name} vintrel-cut)
endfunction()

vintrel_cut_test(cut_logic_tests 60
  cut/plan/smart_cut_plan_test.cpp cut/check/judge_test.cpp cut/media/nal_test.cpp cut/make/timing_test.cpp
  cut/protocol/protocol_test.cpp cut/protocol/segment_list_test.cpp)
vintrel_cut_test(cut_engine_tests 900
  cut/clips.h cut/clips.cpp cut/engine_test.cpp cut/check/measure_test.cpp)
vintrel_cut_test(cut_program_tests 300
  cut/clips.h cut/clips.cpp cut/cli/program_test.cpp)
# The program judged from outside on clips made to measure sync, also read by GStreamer and mkvmerge.
vintrel_cut_test(cut_case_tests 1500
  cut/clips.h cut/clips.cpp cut/cases_test.cpp)
# Several stretches joined into one file, or one file each, judged from outside like the cases.
vintrel_cut_test(cut_join_tests 900
  cut/clips.h cut/clips.cpp cut/joins_test.cpp)
# Every cut point on the GOP shapes of common encoders, and real cameras' files where apt-get
# can fetch them.
vintrel_cut_test(cut_sweep_tests 600
  cut/clips.h cut/clips.cpp cut/sweep_test.cpp)
# Damaged copies of small clips through the engine in process: under the sanitizer presets too.
vintrel_cut_test(cut_damaged_tests 120
  cut/clips.h cut/clips.cpp cut/damaged_test.cpp)
