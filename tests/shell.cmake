vintrel_add_test(test_shell SOURCES test_shell.cpp LABELS shell)
