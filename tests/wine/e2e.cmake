# End-to-end runs of snowglobe.scr under wine and Xvfb, in the linux build's
# ctest: wine32.e2e.* run the i686 build (the win32 tree) under 32-bit wine in
# a 32-bit prefix, wine64.e2e.* the x86_64 build (the win64 tree) under
# wine64. A case whose programs or wine are missing is skipped with a message
# saying what to build or install.
set(SNOWGLOBE_WIN64_DIR ${CMAKE_SOURCE_DIR}/build/win64 CACHE PATH
    "win64 build tree whose snowglobe.scr the wine64 tests run")
set(SNOWGLOBE_WIN32_DIR ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH
    "win32 build tree whose snowglobe.scr the wine32 tests run")

# Native helpers: the test scenes, and the headless reference pictures.
add_executable(sg_make_scene ${CMAKE_CURRENT_LIST_DIR}/make_scene.cpp)
set_target_properties(sg_make_scene PROPERTIES OUTPUT_NAME make_scene)
target_link_libraries(sg_make_scene PRIVATE sg_packlib)
add_executable(sg_render_ref ${CMAKE_CURRENT_LIST_DIR}/render_ref.cpp)
set_target_properties(sg_render_ref PROPERTIES OUTPUT_NAME render_ref)
target_link_libraries(sg_render_ref PRIVATE sg_render)

# One prefix (and so one wineserver and one guard namespace) per
# architecture; the 64-bit one is shared with the pack tests' wine runs.
foreach(bits 32 64)
  if(bits EQUAL 64)
    set(prefix ${CMAKE_BINARY_DIR}/wine-e2e)
    set(lock snowglobe_wine_e2e)
  else()
    set(prefix ${CMAKE_BINARY_DIR}/wine32-e2e)
    set(lock snowglobe_wine32_e2e)
  endif()
  set(environment
      SG_WINE_ARCH=${bits}
      SG_WIN64_DIR=${SNOWGLOBE_WIN64_DIR}
      SG_WIN32_DIR=${SNOWGLOBE_WIN32_DIR}
      SG_TOOLS_DIR=$<TARGET_FILE_DIR:sg_make_scene>
      SG_WORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/e2e${bits}
      WINEPREFIX=${prefix})
  foreach(case pe-imports resources default-scene saver-key saver-click saver-mouse second-instance preview
               about-host about-desktop about-search about-search-none bad-command-line
               texts-any-locale texts-codepage
               scene-black scene-white scene-tiled scene-centred two-monitors monitors-each-span
               high-dpi)
    add_test(NAME wine${bits}.e2e.${case} COMMAND ${CMAKE_CURRENT_LIST_DIR}/e2e ${case})
    set_tests_properties(wine${bits}.e2e.${case} PROPERTIES
      ENVIRONMENT "${environment}"
      SKIP_RETURN_CODE 77
      TIMEOUT 900
      LABELS wine
      # One prefix, one wineserver: one case at a time in it.
      RESOURCE_LOCK ${lock})
  endforeach()
endforeach()
