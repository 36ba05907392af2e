# Mark Start, Mark End and Play Selected on fakes; Play Selected on the real player.
vintrel_add_test(test_marks SOURCES test_marks.cpp LABELS selection)
vintrel_add_test(test_play_selected SOURCES test_play_selected.cpp LABELS selection)
if(TARGET vintrel_mpv)
  vintrel_add_test(test_play_selected_real SOURCES test_play_selected_real.cpp LIBS vintrel_mpv LABELS player
                   TIMEOUT 180)
endif()
