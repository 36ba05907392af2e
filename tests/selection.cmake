# Mark Start, Mark End, their ticks and Play Selected on fakes.
vintrel_add_test(test_marks_and_preview SOURCES logic/test_marks_and_preview.cpp LABELS selection logic TIMEOUT 60)
