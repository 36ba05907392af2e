# The libmpv player on real clips (no screen or sound output needed).
vintrel_add_test(test_mpv_player SOURCES test_mpv_player.cpp LIBS vintrel_mpv LABELS player)
