# The main window as it opens, its keyboard order, About, the web links and closing, on fakes.
vintrel_add_test(main_window_test SOURCES app/main_window_test.cpp LABELS shell logic TIMEOUT 60)
# The keys of every command, on fakes.
vintrel_add_test(shortcuts_test SOURCES app/shortcuts_test.cpp LABELS shell logic TIMEOUT 60)
# The window made larger, maximised and full screen, and what it remembers between runs, on fakes.
vintrel_add_test(layout_test SOURCES app/layout_test.cpp LABELS shell logic TIMEOUT 60)
# The command line: the file to open, help and the version.
vintrel_add_test(command_line_test SOURCES app/command_line_test.cpp LABELS shell logic TIMEOUT 60)
add_dependencies(command_line_test vintrel)
# The boxes and windows over the main window: Esc, keys, their place and size.
vintrel_add_test(boxes_test SOURCES app/boxes_test.cpp LABELS shell logic TIMEOUT 60)
