# The segment list: its table and edits, and the window's segment commands, on fakes.
vintrel_add_test(segment_list_test SOURCES segments/segment_model_test.cpp app/segments_test.cpp
  LABELS segments logic TIMEOUT 60)
