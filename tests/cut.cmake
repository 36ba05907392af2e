# The cut engine's tests link only the engine: they do not depend on the window's code.
set(cut_test_environment "VINTREL_CUT_PROGRAM=$<TARGET_FILE:vintrel-cut>")

function(vintrel_cut_test name timeout)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE vintrel_cut GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout} LABELS cut ENVIRONMENT "${cut_test_environment}")
  add_dependencies(${name} vintrel-cut)
endfunction()

vintrel_cut_test(cut_logic_tests 60
  cut/plan_test.cpp cut/parsing_test.cpp cut/relay_test.cpp)
vintrel_cut_test(cut_engine_tests 600
  cut/clips.h cut/clips.cpp cut/engine_test.cpp)
vintrel_cut_test(cut_program_tests 300
  cut/clips.h cut/clips.cpp cut/program_test.cpp)
# The program judged from outside on clips made to measure sync, also read by GStreamer and mkvmerge.
vintrel_cut_test(cut_case_tests 1500
  cut/clips.h cut/clips.cpp cut/cases_test.cpp)
