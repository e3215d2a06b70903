# End-to-end runs of snowglobe.scr under wine64 and Xvfb, and the PE checks of
# both .scr files, in the linux build's ctest. The Windows programs come from
# the win64 (and win32) build trees; a case whose programs are not built is
# skipped with a message saying what to build.
set(SNOWGLOBE_WIN64_DIR ${CMAKE_SOURCE_DIR}/build/win64 CACHE PATH
    "win64 build tree whose snowglobe.scr the end-to-end tests run")
set(SNOWGLOBE_WIN32_DIR ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH
    "win32 build tree whose snowglobe.scr the PE checks read")

# Native helpers: the test scenes, and the headless reference pictures.
add_executable(sg_make_scene ${CMAKE_CURRENT_LIST_DIR}/make_scene.cpp)
set_target_properties(sg_make_scene PROPERTIES OUTPUT_NAME make_scene)
target_link_libraries(sg_make_scene PRIVATE sg_packlib)
add_executable(sg_render_ref ${CMAKE_CURRENT_LIST_DIR}/render_ref.cpp)
set_target_properties(sg_render_ref PROPERTIES OUTPUT_NAME render_ref)
target_link_libraries(sg_render_ref PRIVATE sg_render)

set(SG_E2E_ENVIRONMENT
    SG_WIN64_DIR=${SNOWGLOBE_WIN64_DIR}
    SG_WIN32_DIR=${SNOWGLOBE_WIN32_DIR}
    SG_TOOLS_DIR=$<TARGET_FILE_DIR:sg_make_scene>
    SG_WORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/e2e
    WINEPREFIX=${CMAKE_BINARY_DIR}/wine-e2e)

foreach(case pe-imports resources default-scene saver-key saver-click saver-mouse second-instance preview
             about-host about-desktop about-search about-search-none bad-command-line
             texts-any-locale texts-codepage
             scene-black scene-white scene-tiled scene-centred two-monitors high-dpi)
  add_test(NAME wine.e2e.${case} COMMAND ${CMAKE_CURRENT_LIST_DIR}/e2e ${case})
  set_tests_properties(wine.e2e.${case} PROPERTIES
    ENVIRONMENT "${SG_E2E_ENVIRONMENT}"
    SKIP_RETURN_CODE 77
    TIMEOUT 900
    LABELS wine
    # One wine prefix, one wineserver, one guard namespace: one case at a time.
    RESOURCE_LOCK snowglobe_wine_e2e)
endforeach()
