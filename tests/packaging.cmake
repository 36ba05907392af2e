# The menu entry is one that desktops accept, and a file manager can hand it a video.
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  add_test(NAME desktop_entry COMMAND ${DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/packaging/vintrel.desktop)
endif()
add_test(NAME desktop_entry_takes_a_file
  COMMAND sh -c "grep -qx 'Exec=vintrel %f' \"$0\" && grep -q '^MimeType=.*video/mp4;.*video/x-matroska;' \"$0\""
          ${PROJECT_SOURCE_DIR}/packaging/vintrel.desktop)
