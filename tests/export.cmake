# Save on fakes: the flow in the window, the bar and the title, and the job that runs
# vintrel-cut (against small scripts standing in for it).
vintrel_add_test(test_save_flow SOURCES logic/test_save_flow.cpp LABELS export logic TIMEOUT 60)
vintrel_add_test(test_save_progress SOURCES logic/test_save_progress.cpp LABELS export logic TIMEOUT 60)
vintrel_add_test(test_cut_job SOURCES logic/test_cut_job.cpp LABELS export logic TIMEOUT 60)
