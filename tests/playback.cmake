# Playback: the time format, the transport buttons, position tracking and Open.
vintrel_add_test(test_playback
  SOURCES test_format_time.cpp test_transport.cpp test_tracking.cpp test_open.cpp
  LABELS playback)

# The same commands on the libmpv player, with a clip made on the spot.
vintrel_add_test(test_playback_real SOURCES test_playback_real.cpp LIBS vintrel_mpv LABELS playback TIMEOUT 120)
