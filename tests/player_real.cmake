# The libmpv player on real clips, and the window's playback commands and Play Selected
# on it (no screen or sound output needed).
vintrel_add_test(test_mpv_player SOURCES test_mpv_player.cpp LIBS vintrel_mpv LABELS player TIMEOUT 120)
vintrel_add_test(test_playback_real SOURCES test_playback_real.cpp LIBS vintrel_mpv LABELS player TIMEOUT 120)
vintrel_add_test(test_play_selected_real SOURCES test_play_selected_real.cpp LIBS vintrel_mpv LABELS player
                 TIMEOUT 120)
