# Playback on fakes: the session's rules, and the transport, position tracking, the slider
# and Open as the window runs them.
vintrel_add_test(test_session SOURCES logic/test_session.cpp LABELS playback logic TIMEOUT 60)
vintrel_add_test(test_playback_commands SOURCES logic/test_playback_commands.cpp LABELS playback logic TIMEOUT 60)
