# Save, its command line and the encoder runner on fakes; Save through the real encoder.
vintrel_add_test(test_export SOURCES test_command_line.cpp test_run_and_wait.cpp test_save.cpp LABELS export)
vintrel_add_test(test_export_real SOURCES test_export_real.cpp LABELS export encoder TIMEOUT 900)
