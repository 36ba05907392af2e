# The menu entry is one that desktops accept, and a file manager can hand it a video.
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  add_test(NAME desktop_entry COMMAND ${DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/packaging/vintrel.desktop)
endif()
add_test(NAME desktop_entry_takes_a_file
  COMMAND sh -c "grep -qx 'Exec=vintrel %f' \"$0\" && grep -q '^MimeType=.*video/mp4;.*video/x-matroska;' \"$0\""
          ${PROJECT_SOURCE_DIR}/packaging/vintrel.desktop)
# ./scripts/run.sh FILE opens FILE, a relative path taken from where it was started.
add_test(NAME run_script_opens_a_file
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/run_script_test.sh ${PROJECT_SOURCE_DIR}/scripts/run.sh)
