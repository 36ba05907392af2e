# The main window as it opens, its keyboard order, About, the web links and closing, on fakes.
vintrel_add_test(test_window SOURCES logic/test_window.cpp LABELS shell logic TIMEOUT 60)
# The keys of every command, on fakes.
vintrel_add_test(test_shortcuts SOURCES logic/test_shortcuts.cpp LABELS shell logic TIMEOUT 60)
# The window made larger, maximised and full screen, and what it remembers between runs, on fakes.
vintrel_add_test(test_window_size SOURCES logic/test_window_size.cpp LABELS shell logic TIMEOUT 60)
# The command line: the file to open, help and the version.
vintrel_add_test(test_command_line SOURCES logic/test_command_line.cpp LABELS shell logic TIMEOUT 60)
add_dependencies(test_command_line vintrel)
