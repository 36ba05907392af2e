# Save in the window with the real vintrel-cut: the bar, Cancel, closing during a cut.
vintrel_add_test(test_save_real SOURCES save_real/test_save_real.cpp LABELS export cut TIMEOUT 600)
if(TARGET vintrel-cut)
  add_dependencies(test_save_real vintrel-cut)
endif()
# Marks to the frame through Save, on the real player and the real vintrel-cut.
vintrel_add_test(test_save_to_frame_real SOURCES save_real/test_save_to_frame_real.cpp LIBS vintrel_mpv
                 LABELS export cut player TIMEOUT 300)
if(TARGET vintrel-cut)
  add_dependencies(test_save_to_frame_real vintrel-cut)
endif()
