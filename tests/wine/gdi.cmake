# GDI objects over 50 create-run-destroy cycles of the saver window and a run
# of 10,000 ticks, on the real Windows API under wine64 (tests/wine/gdi_soak.cpp).
#
# Included from tests/wine/CMakeLists.txt, this file builds gdi_soak.exe with
# the x86_64 mingw-w64 compiler (the engine, the win32 backend and the default
# scene as resource "KAVREN"/103) and adds the test wine.gdi-soak. The test
# runs this same file as a script (cmake -P), which starts the program under
# wine64 on a private Xvfb display.

if(CMAKE_SCRIPT_MODE_FILE)
  # ---- the test: EXE, WINE, WINEPREFIX come from the test command ----
  if(NOT EXISTS "${EXE}")
    message("SKIPPED: ${EXE} is not built (needs x86_64-w64-mingw32-g++-posix and windres)")
    return()
  endif()
  if(NOT WINE OR NOT EXISTS "${WINE}")
    message("SKIPPED: wine64 is not installed")
    return()
  endif()
  find_program(XVFB_RUN xvfb-run)
  if(NOT XVFB_RUN)
    message("SKIPPED: xvfb-run is not installed (apt-get install xvfb)")
    return()
  endif()
  file(MAKE_DIRECTORY "${WINEPREFIX}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${WINEPREFIX} WINEDEBUG=-all
            "WINEDLLOVERRIDES=mscoree,mshtml=" --
            ${XVFB_RUN} -a -s "-screen 0 1024x768x24" ${WINE} ${EXE}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors
    TIMEOUT 1200)
  message("${output}")
  if(NOT status EQUAL 0 OR NOT output MATCHES "gdi soak passed")
    message("${errors}")
    message(FATAL_ERROR "FAILED: gdi_soak.exe under wine64 ended with status ${status}")
  endif()
  return()
endif()

# ---- the build: one object per source, so they compile in parallel ----
find_program(SG_MINGW64_CXX x86_64-w64-mingw32-g++-posix)
find_program(SG_MINGW64_WINDRES x86_64-w64-mingw32-windres)
find_program(SG_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT SG_WINE64)
  find_program(SG_WINE64 wine64)
endif()

set(SG_GDI_SOAK_DIR ${CMAKE_CURRENT_BINARY_DIR}/gdi_soak)
set(SG_GDI_SOAK_EXE ${SG_GDI_SOAK_DIR}/gdi_soak.exe)

if(SG_MINGW64_CXX AND SG_MINGW64_WINDRES AND TARGET sg_default_scene_package)
  file(GLOB SG_GDI_SOAK_SOURCES CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/scene/*.cpp ${CMAKE_SOURCE_DIR}/world/*.cpp
       ${CMAKE_SOURCE_DIR}/frame/*.cpp ${CMAKE_SOURCE_DIR}/shell/*.cpp
       ${CMAKE_SOURCE_DIR}/platform/win32/*.cpp)
  list(APPEND SG_GDI_SOAK_SOURCES ${CMAKE_CURRENT_LIST_DIR}/gdi_soak.cpp)

  set(objects "")
  foreach(source ${SG_GDI_SOAK_SOURCES})
    file(RELATIVE_PATH name ${CMAKE_SOURCE_DIR} ${source})
    string(REPLACE "/" "_" name "${name}")
    set(object ${SG_GDI_SOAK_DIR}/${name}.o)
    add_custom_command(
      OUTPUT ${object}
      COMMAND ${SG_MINGW64_CXX} -std=c++20 -O2 -Wall -Wextra -I${CMAKE_SOURCE_DIR}
              -MD -MF ${object}.d -c ${source} -o ${object}
      DEPENDS ${source}
      DEPFILE ${object}.d
      COMMENT "gdi_soak (x86_64 Windows): ${name}"
      VERBATIM)
    list(APPEND objects ${object})
  endforeach()

  set(package ${CMAKE_BINARY_DIR}/scenes/default.kavren)
  file(WRITE ${SG_GDI_SOAK_DIR}/package.rc "103 KAVREN \"${package}\"\n")
  add_custom_command(
    OUTPUT ${SG_GDI_SOAK_DIR}/package.o
    COMMAND ${SG_MINGW64_WINDRES} ${SG_GDI_SOAK_DIR}/package.rc -O coff -o ${SG_GDI_SOAK_DIR}/package.o
    DEPENDS ${SG_GDI_SOAK_DIR}/package.rc ${package} sg_default_scene_package
    COMMENT "gdi_soak (x86_64 Windows): the default scene as resource KAVREN/103"
    VERBATIM)
  add_custom_command(
    OUTPUT ${SG_GDI_SOAK_EXE}
    COMMAND ${SG_MINGW64_CXX} ${objects} ${SG_GDI_SOAK_DIR}/package.o -o ${SG_GDI_SOAK_EXE}
            -static -static-libgcc -static-libstdc++ -lgdi32 -luser32 -lkernel32 -limm32 -lwinmm
    DEPENDS ${objects} ${SG_GDI_SOAK_DIR}/package.o
    COMMENT "Linking gdi_soak.exe"
    VERBATIM)
  add_custom_target(sg_gdi_soak ALL DEPENDS ${SG_GDI_SOAK_EXE})
else()
  message(STATUS "gdi_soak.exe is not built: needs x86_64-w64-mingw32-g++-posix, its windres "
                 "and the default scene")
endif()

add_test(NAME wine.gdi-soak
         COMMAND ${CMAKE_COMMAND} -DEXE=${SG_GDI_SOAK_EXE} -DWINE=${SG_WINE64}
                 -DWINEPREFIX=${CMAKE_BINARY_DIR}/wine-gdi -P ${CMAKE_CURRENT_LIST_FILE})
set_tests_properties(wine.gdi-soak PROPERTIES
  SKIP_REGULAR_EXPRESSION "SKIPPED:"
  TIMEOUT 1500
  LABELS wine)
