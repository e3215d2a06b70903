# Installing on Linux: the program (with its default scene inside), the pack
# tool, their manual pages and the files that list the saver in the desktop's
# screen saver settings; and Debian packages of the same (cpack -G DEB): the
# program package and its -dbg package with the debugging information.
# The Windows savers are zipped by scripts/package-windows instead.
if(WIN32)
  return()
endif()

include(GNUInstallDirs)

set(SG_DEB_STAGE ${CMAKE_BINARY_DIR}/install-stage)
set(SG_DEB_MAINTAINER "snowglobe maintainers <maintainers@users.noreply.c-seed-545fc81c.example>"
    CACHE STRING "Maintainer field of the Debian package (name <address>)")
set(SG_DEB_RELEASE 1 CACHE STRING "Debian revision of the package")
set(SG_DEB_VERSION ${PROJECT_VERSION}-${SG_DEB_RELEASE})

# Programs are installed stripped, with their debugging information beside
# them under lib/debug/.build-id/ (the debug component). The Linux program
# carries its scene after the ELF image; cmake/strip_debug.cmake keeps it.
foreach(program snowglobe snowglobe-pack)
  if(NOT TARGET ${program})
    continue()
  endif()
  if(NOT CMAKE_OBJCOPY OR NOT CMAKE_READELF)
    message(STATUS "${program} is installed as built: no objcopy and readelf to strip it with")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    continue()
  endif()
  add_custom_command(
    OUTPUT ${SG_DEB_STAGE}/bin/${program}
    COMMAND ${CMAKE_COMMAND} -DIN=$<TARGET_FILE:${program}> -DOUT=${SG_DEB_STAGE}/bin/${program}
            -DDEBUG_ROOT=${SG_DEB_STAGE}/debug-${program} -DOBJCOPY=${CMAKE_OBJCOPY}
            -DREADELF=${CMAKE_READELF} -P ${CMAKE_SOURCE_DIR}/cmake/strip_debug.cmake
    DEPENDS ${program} ${CMAKE_SOURCE_DIR}/cmake/strip_debug.cmake
    COMMENT "Stripping ${program} for installing (debugging information kept apart)"
    VERBATIM)
  add_custom_target(sg_stage_${program} ALL DEPENDS ${SG_DEB_STAGE}/bin/${program})
  install(PROGRAMS ${SG_DEB_STAGE}/bin/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY ${SG_DEB_STAGE}/debug-${program}/ DESTINATION lib/debug
          COMPONENT debug)
endforeach()

# Manual pages and the Debian changelog, compressed as Debian ships them
# (gzip -n: no name or time stamp, so the same input gives the same bytes).
configure_file(${CMAKE_SOURCE_DIR}/data/debian/changelog.in ${SG_DEB_STAGE}/changelog.Debian @ONLY)
set(SG_GZIPPED "")
foreach(source docs/man/snowglobe.1 docs/man/snowglobe-pack.1 ${SG_DEB_STAGE}/changelog.Debian)
  get_filename_component(source ${source} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
  get_filename_component(name ${source} NAME)
  add_custom_command(
    OUTPUT ${SG_DEB_STAGE}/${name}.gz
    COMMAND gzip -9 -n -c ${source} > ${SG_DEB_STAGE}/${name}.gz
    DEPENDS ${source}
    COMMENT "Compressing ${name}")
  list(APPEND SG_GZIPPED ${SG_DEB_STAGE}/${name}.gz)
endforeach()
add_custom_target(sg_stage_docs ALL DEPENDS ${SG_GZIPPED})

install(FILES ${SG_DEB_STAGE}/snowglobe.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET snowglobe-pack)
  install(FILES ${SG_DEB_STAGE}/snowglobe-pack.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/docs/authoring.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Every package has its own copyright file and changelog (and the lintian
# overrides of checks meant for uploads to Debian).
foreach(package snowglobe snowglobe-dbg)
  if(package STREQUAL snowglobe)
    set(component Unspecified)
  else()
    set(component debug)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/data/debian/copyright ${SG_DEB_STAGE}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  install(FILES ${CMAKE_SOURCE_DIR}/data/debian/${package}.lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${package}
          COMPONENT ${component})
endforeach()

# The listing. XScreenSaver's settings (Debian 12's xscreensaver-settings)
# read the saver descriptions from /usr/share/xscreensaver/config/ only, so a
# prefix other than /usr (the default /usr/local too) leaves the description
# unread there unless SNOWGLOBE_XSCREENSAVER_CONFIG_DIR names that directory;
# the daemon itself runs what the `programs:` entry of ~/.xscreensaver names
# (scripts/install-user writes it). Desktop screen savers read the entries
# of share/applications/screensavers/ under every XDG data directory, which
# include /usr/local/share and ~/.local/share.
set(SNOWGLOBE_XSCREENSAVER_CONFIG_DIR ${CMAKE_INSTALL_DATADIR}/xscreensaver/config CACHE STRING
    "Where the XScreenSaver description snowglobe.xml is installed (relative: under the prefix)")
install(FILES ${CMAKE_SOURCE_DIR}/data/snowglobe.xml DESTINATION ${SNOWGLOBE_XSCREENSAVER_CONFIG_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/snowglobe.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers)
install(CODE [[
  if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    message(STATUS "XScreenSaver's settings read saver descriptions from /usr/share/xscreensaver/config/ "
                   "only; the daemon runs what the programs: entry of ~/.xscreensaver names "
                   "(scripts/install-user adds it)")
  endif()
]])

# ---- the Debian packages ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME snowglobe)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "snowglobe maintainers")
set(CPACK_PACKAGE_CONTACT "${SG_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SG_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${SG_DEB_RELEASE})
# Each package's description is its own, first line the synopsis (so the
# common CPACK_PACKAGE_DESCRIPTION_SUMMARY, which CPack would put in front of
# both, is left unset); one string, without list separators.
string(CONCAT SG_DEB_DESCRIPTION
  "data-driven screen saver playing animated sprite scenes\n"
  "snowglobe plays a scene package: a background, up to ten layers of animated\n"
  "sprites and an optional looping sound. It runs full screen, in the window the\n"
  "screen-saver daemon gives it (-root), or in a window of its own (-window).\n"
  "snowglobe-pack builds scene packages from PNG, JPEG, GIF, BMP and WAV files\n"
  "and binds them into savers of their own.")
set(CPACK_PACKAGE_DESCRIPTION "${SG_DEB_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES OFF)  # stripped above, keeping the appended scene
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# The program package is the default component's.
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME snowglobe)
set(CPACK_COMPONENT_UNSPECIFIED_DESCRIPTION "${SG_DEB_DESCRIPTION}")
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_SUGGESTS "xscreensaver")
# Exact versioned dependencies from the linked libraries when dpkg-shlibdeps
# is there; otherwise the library packages by name.
find_program(SG_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(SG_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS
      "libc6, libstdc++6, libgcc-s1, libsdl2-2.0-0, libx11-6, libxext6, libxrandr2, libpng16-16, libgif7, libjpeg62-turbo, libimagequant0, libtomlplusplus3")
endif()

set(CPACK_DEBIAN_DEBUG_PACKAGE_NAME snowglobe-dbg)
set(CPACK_DEBIAN_DEBUG_PACKAGE_SECTION debug)
set(CPACK_DEBIAN_DEBUG_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEBUG_PACKAGE_DEPENDS "snowglobe (= ${SG_DEB_VERSION})")
set(CPACK_COMPONENT_DEBUG_DESCRIPTION
    "debugging information for snowglobe\nThe debugging information of snowglobe and snowglobe-pack, found by the\nprograms' build IDs under /usr/lib/debug/.build-id.")
include(CPack)
