# Installing on Linux: the program (with its default scene inside), the pack
# tool, their manual pages and the files that list the saver in the desktop's
# screen saver settings; and a Debian package of the same (cpack -G DEB).
# The Windows savers are zipped by scripts/package-windows instead.
if(WIN32)
  return()
endif()

include(GNUInstallDirs)

if(TARGET snowglobe)
  # The scene is appended to the file after linking: install it as it is.
  # No RPATH is set (only system libraries), so install never rewrites the
  # ELF, and nothing here may strip it (strip would drop the scene).
  install(TARGETS snowglobe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET snowglobe-pack)
  install(TARGETS snowglobe-pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/docs/man/snowglobe-pack.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/docs/man/snowglobe.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Where the screen-saver daemon's settings look for descriptions, and where
# desktop savers look for entries.
install(FILES ${CMAKE_SOURCE_DIR}/data/snowglobe.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${CMAKE_SOURCE_DIR}/data/snowglobe.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers)
install(FILES ${CMAKE_SOURCE_DIR}/docs/authoring.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# ---- the Debian package ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME snowglobe)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "snowglobe developers")
set(CPACK_PACKAGE_CONTACT "snowglobe developers <snowglobe@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data-driven screen saver: animated sprite scenes")
set(CPACK_PACKAGE_DESCRIPTION
    "snowglobe plays a scene package: a background, up to ten layers of animated\n"
    "sprites and an optional looping sound. It runs full screen, in the window the\n"
    "screen-saver daemon gives it (-root), or in a window of its own (-window).\n"
    "snowglobe-pack builds scene packages from PNG, BMP and WAV files and binds\n"
    "them into savers of their own.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver")
# Exact versioned dependencies from the linked libraries when dpkg-shlibdeps
# is there; otherwise the library packages by name.
find_program(SG_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(SG_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libc6, libstdc++6, libgcc-s1, libsdl2-2.0-0, libx11-6, libpng16-16, libgif7")
endif()
include(CPack)
