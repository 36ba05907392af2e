# Playback on fakes: the session's rules, and the transport, position tracking, the slider
# and Open as the window runs them.
vintrel_add_test(session_test SOURCES session/session_test.cpp LABELS playback logic TIMEOUT 60)
vintrel_add_test(playback_commands_test SOURCES app/playback_commands_test.cpp LABELS playback logic TIMEOUT 60)
