# Save on fakes: the flow in the window, the bar and the title, and the job that runs
# vintrel-cut (against small scripts standing in for it).
vintrel_add_test(save_flow_test SOURCES save/save_flow_test.cpp LABELS export logic TIMEOUT 60)
vintrel_add_test(save_progress_test SOURCES save/save_progress_test.cpp LABELS export logic TIMEOUT 60)
vintrel_add_test(cut_job_test SOURCES save/cut_job_test.cpp LABELS export logic TIMEOUT 60)
