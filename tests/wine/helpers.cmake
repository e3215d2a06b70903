# Helpers of the end-to-end tests, built by the Windows presets and run under
# wine by the linux build's ctest: a stand-in for the display settings
# dialog, and a resource binder.
foreach(helper testhost bindres)
  add_executable(sg_${helper} ${CMAKE_CURRENT_LIST_DIR}/${helper}.cpp)
  set_target_properties(sg_${helper} PROPERTIES
    OUTPUT_NAME ${helper}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/wine)
  target_link_libraries(sg_${helper} PRIVATE user32 gdi32 kernel32 shell32)
endforeach()
