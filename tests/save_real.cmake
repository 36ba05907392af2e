# Save in the window with the real vintrel-cut: the bar, Cancel, closing during a cut.
vintrel_add_test(save_real_test SOURCES save/save_real_test.cpp LABELS export cut TIMEOUT 600)
if(TARGET vintrel-cut)
  add_dependencies(save_real_test vintrel-cut)
endif()
# Marks to the frame through Save, on the real player and the real vintrel-cut.
vintrel_add_test(save_to_frame_real_test SOURCES save/save_to_frame_real_test.cpp LIBS vintrel_mpv
                 LABELS export cut player TIMEOUT 300)
if(TARGET vintrel-cut)
  add_dependencies(save_to_frame_real_test vintrel-cut)
endif()
