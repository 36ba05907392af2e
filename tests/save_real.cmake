# Save in the window with the real vintrel-cut: the bar, Cancel, closing during a cut.
vintrel_add_test(test_save_real SOURCES save_real/test_save_real.cpp LABELS export cut TIMEOUT 600)
if(TARGET vintrel-cut)
  add_dependencies(test_save_real vintrel-cut)
endif()
