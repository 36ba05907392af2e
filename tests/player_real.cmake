# The libmpv player on real clips, and the window's playback commands and Play Selected
# on it (no screen or sound output needed).
vintrel_add_test(mpv_player_test SOURCES player/mpv_player_test.cpp LIBS vintrel_mpv LABELS player TIMEOUT 120)
vintrel_add_test(playback_real_test SOURCES player/playback_real_test.cpp LIBS vintrel_mpv LABELS player TIMEOUT 120)
vintrel_add_test(play_selected_real_test SOURCES player/play_selected_real_test.cpp LIBS vintrel_mpv LABELS player
                 TIMEOUT 120)
