# Key frames, what a cut will cost and the tracks it keeps: read by the engine, judged by ffprobe.
vintrel_cut_test(cut_key_frame_tests 300 cut/clips.h cut/clips.cpp cut/media/key_frames_test.cpp)
# The window's side: key frames on the slider, the cost line, the picture under the pointer, tracks.
vintrel_add_test(key_frames_window_test SOURCES app/key_frames_test.cpp LABELS playback logic TIMEOUT 120)
vintrel_cut_test(cut_plan_tests 600 cut/clips.h cut/clips.cpp cut/cli/plan_test.cpp)
vintrel_cut_test(cut_track_tests 600 cut/clips.h cut/clips.cpp cut/tracks_test.cpp)
vintrel_add_test(previews_test SOURCES app/previews_test.cpp LABELS save logic TIMEOUT 180)
