# Key frames, what a cut will cost and the tracks it keeps: read by the engine, judged by ffprobe.
vintrel_cut_test(cut_key_frame_tests 300 cut/clips.h cut/clips.cpp cut/media/key_frames_test.cpp)
