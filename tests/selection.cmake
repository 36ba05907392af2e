# Mark Start, Mark End, their ticks and Play Selected on fakes.
vintrel_add_test(marks_and_preview_test SOURCES app/marks_and_preview_test.cpp LABELS selection logic TIMEOUT 60)
