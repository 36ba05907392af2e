# The libmpv player's load and seek states, without libmpv.
vintrel_add_test(mpv_states_test SOURCES player/mpv_states_test.cpp LIBS vintrel_mpv LABELS player logic TIMEOUT 60)
