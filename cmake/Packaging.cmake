# What a user's installation holds beyond the two programs, and the Debian package made of it:
#   cmake --preset release && cmake --build --preset release --target package
# makes build/release/vintrel_<version>_amd64.deb. Its dependencies are read from the programs
# by dpkg-shlibdeps, so a package built on a Debian release installs on that release.
set(VINTREL_LICENSE_SPDX "GPL-3.0-or-later")
set(VINTREL_MAINTAINER "Vintrel developers <vintrel@example.org>")
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(generated ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${generated})
# Debian looks for the copyright and changelog under the package's own name.
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/vintrel)

# The About window's credits, where an installed program looks for them.
install(FILES thanks.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/vintrel)
install(FILES ${packaging}/vintrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icon: the SVG, and PNGs at the sizes menus and docks ask for, drawn from it when a
# renderer is there (rsvg-convert, Debian's librsvg2-bin).
install(FILES ${packaging}/vintrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  set(icon_pngs)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${generated}/icons/${size}x${size}/vintrel.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${packaging}/vintrel.svg
      DEPENDS ${packaging}/vintrel.svg VERBATIM)
    list(APPEND icon_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(STATUS "rsvg-convert not found: only the scalable icon is installed (apt install librsvg2-bin)")
endif()

# Manual pages and the changelog, gzipped as Debian keeps them (-n: the same bytes every build).
find_program(GZIP gzip REQUIRED)
set(compressed)
foreach(page vintrel.1 vintrel-cut.1)
  configure_file(${packaging}/${page} ${generated}/${page} @ONLY)
  add_custom_command(OUTPUT ${generated}/${page}.gz
    COMMAND ${GZIP} -9nf -k ${generated}/${page}
    DEPENDS ${generated}/${page} VERBATIM)
  list(APPEND compressed ${generated}/${page}.gz)
  install(FILES ${generated}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
string(TIMESTAMP build_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${packaging}/changelog.in ${generated}/changelog @ONLY)
add_custom_command(OUTPUT ${generated}/changelog.gz
  COMMAND ${GZIP} -9nf -k ${generated}/changelog
  DEPENDS ${generated}/changelog VERBATIM)
list(APPEND compressed ${generated}/changelog.gz)
install(FILES ${generated}/changelog.gz DESTINATION ${docdir})
configure_file(${packaging}/copyright.in ${generated}/copyright @ONLY)
install(FILES ${generated}/copyright DESTINATION ${docdir})

configure_file(${packaging}/org.example.vintrel.metainfo.xml ${generated}/org.example.vintrel.metainfo.xml @ONLY)
install(FILES ${generated}/org.example.vintrel.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

add_custom_target(vintrel_packaging_files ALL DEPENDS ${icon_pngs} ${compressed})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vintrel)
set(CPACK_PACKAGE_VENDOR "The Vintrel developers")
set(CPACK_PACKAGE_CONTACT "${VINTREL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cut a stretch out of a video, exactly and without re-encoding")
# The first line of the control file's Description is the summary above; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vintrel plays a video in a window. Mark a start and an end, to the second
or to the frame on screen, preview the stretch and save it as a new file.
Only the frames before the first key frame are re-encoded; everything else
is copied as it was, and every file is checked before it is called done.
.
The same cut engine works from a terminal as vintrel-cut.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vintrel.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its X11 platform plugin at run time, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
