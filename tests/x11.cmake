# The whole program in a real X server of its own (Xvfb).
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
add_library(vintrel_xtest STATIC x11/xsession.h x11/xsession.cpp x11/xclose.cpp)
target_include_directories(vintrel_xtest PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vintrel_xtest PUBLIC Qt6::Gui PkgConfig::X11)

vintrel_add_test(program_x11_test SOURCES x11/program_test.cpp LIBS vintrel_xtest LABELS x11 TIMEOUT 300)
add_dependencies(program_x11_test vintrel)

# One cut made in-process on the real widgets, player and vintrel-cut, in a private X server.
vintrel_add_test(road_x11_test SOURCES x11/road_test.cpp x11/ui_driver.h x11/ui_driver.cpp
  LIBS vintrel_xtest vintrel_mpv LABELS x11 TIMEOUT 600)

# The boxes' tests on a real display as well as offscreen.
vintrel_add_test(boxes_x11_test SOURCES app/boxes_test.cpp x11/boxes_main.cpp LIBS vintrel_xtest LABELS x11 TIMEOUT 60)

# The saves in both run vintrel-cut from beside the program; they are skipped while it is not built.
if(TARGET vintrel-cut)
  add_dependencies(program_x11_test vintrel-cut)
  add_dependencies(road_x11_test vintrel-cut)
endif()
