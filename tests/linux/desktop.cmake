# At home on Linux desktops: listing files, install and the Debian package,
# and the screen-saver daemon's way of running the program (Xvfb).
# Included from tests/linux/CMakeLists.txt.
if(TARGET snowglobe-pack)
  add_test(NAME desktop_listing
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop-listing.sh $<TARGET_FILE:snowglobe-pack>
            $<TARGET_FILE:snowglobe> ${CMAKE_CURRENT_BINARY_DIR}/desktop-listing)
  set_tests_properties(desktop_listing PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)

  add_test(NAME desktop_install
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop-install.sh ${CMAKE_BINARY_DIR}
            ${CMAKE_CURRENT_BINARY_DIR}/desktop-install $<TARGET_FILE:snowglobe>)
  set_tests_properties(desktop_install PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77)

  # scripts/install-user on a temporary HOME.
  add_test(NAME desktop_install_user
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop-install-user.sh $<TARGET_FILE:snowglobe-pack>
            $<TARGET_FILE:snowglobe> ${CMAKE_BINARY_DIR}/scenes/default.kavren
            ${CMAKE_CURRENT_BINARY_DIR}/desktop-install-user)
  set_tests_properties(desktop_install_user PROPERTIES TIMEOUT 120)
endif()

# Run as a screen-saver daemon runs it. In a build configured with
# -DSNOWGLOBE_SANITIZE=ON the SIGTERM checks are also leak checks.
if(TARGET snowglobe-pack AND TARGET foreign_window)
  add_test(NAME desktop_hack
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop-hack.sh $<TARGET_FILE:snowglobe>
            $<TARGET_FILE:snowglobe-pack> $<TARGET_FILE:foreign_window>
            ${CMAKE_CURRENT_BINARY_DIR}/desktop-hack)
  set_tests_properties(desktop_hack PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()

# Presenting through MIT-SHM and without it, pixel for pixel as rendered.
if(TARGET snowglobe-pack AND TARGET sg_default_scene_package)
  add_test(NAME desktop_present
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop-present.sh $<TARGET_FILE:snowglobe>
            $<TARGET_FILE:snowglobe-pack> ${CMAKE_BINARY_DIR}/scenes/default.kavren
            ${CMAKE_CURRENT_BINARY_DIR}/desktop-present)
  set_tests_properties(desktop_present PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()

# "/s" with two displays: the second covered, input there ends the saver.
if(TARGET snowglobe-pack AND TARGET foreign_window)
  add_test(NAME desktop_monitors
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop-monitors.sh $<TARGET_FILE:snowglobe>
            $<TARGET_FILE:snowglobe-pack> $<TARGET_FILE:foreign_window>
            ${CMAKE_CURRENT_BINARY_DIR}/desktop-monitors)
  set_tests_properties(desktop_monitors PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()

# --version, --help, --scene, one copy per screen, quiet audio, a refused package's status.
if(TARGET example-scenes AND TARGET sg-embed)
  add_test(NAME desktop_cli
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop-cli.sh $<TARGET_FILE:snowglobe> ${PROJECT_VERSION}
            $<TARGET_FILE:sg-embed> ${CMAKE_BINARY_DIR}/scenes/examples/aquarium.kavren
            ${CMAKE_CURRENT_BINARY_DIR}/desktop-cli ${SNOWGLOBE_WIN64_DIR}/snowglobe.scr)
  set_tests_properties(desktop_cli PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()

# High-DPI screens: --scale, SNOWGLOBE_SCALE, GDK_SCALE and Xft.dpi.
if(TARGET snowglobe-pack AND TARGET sg_default_scene_package)
  add_test(NAME desktop_scale
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop-scale.sh $<TARGET_FILE:snowglobe>
            $<TARGET_FILE:snowglobe-pack> ${CMAKE_BINARY_DIR}/scenes/default.kavren
            ${CMAKE_CURRENT_BINARY_DIR}/desktop-scale)
  set_tests_properties(desktop_scale PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()

# "/s" on Xorg's dummy driver with two monitors (one root, and two X screens):
# primary, each and span, and -root over both heads.
if(TARGET snowglobe-pack)
  add_test(NAME desktop_xorg
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop-xorg.sh $<TARGET_FILE:snowglobe>
            $<TARGET_FILE:snowglobe-pack> ${CMAKE_CURRENT_BINARY_DIR}/desktop-xorg)
  set_tests_properties(desktop_xorg PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
endif()
