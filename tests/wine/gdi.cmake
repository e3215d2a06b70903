# GDI objects over 50 create-run-destroy cycles of the saver window and a run
# of 10,000 ticks, on the real Windows API under wine (tests/wine/gdi_soak.cpp).
#
# Included from tests/wine/CMakeLists.txt, this file builds gdi_soak.exe with
# each mingw-w64 compiler found (the engine, the win32 backend and the default
# scene as resource "KAVREN"/103) and adds the tests wine32.gdi-soak (i686,
# 32-bit wine in a 32-bit prefix) and wine64.gdi-soak (x86_64, wine64). A test
# runs this same file as a script (cmake -P), which starts the program under
# its wine on a private Xvfb display.

if(CMAKE_SCRIPT_MODE_FILE)
  # ---- the test: EXE, WINE, WINEPREFIX (and WINEARCH) come from the test command ----
  if(NOT EXISTS "${EXE}")
    message("SKIPPED: ${EXE} is not built (needs ${COMPILER} and its windres)")
    return()
  endif()
  if(NOT WINE OR NOT EXISTS "${WINE}")
    message("SKIPPED: ${WINE_NAME} is not installed")
    return()
  endif()
  find_program(XVFB_RUN xvfb-run)
  if(NOT XVFB_RUN)
    message("SKIPPED: xvfb-run is not installed (apt-get install xvfb)")
    return()
  endif()
  set(arch_env "")
  if(WINEARCH)
    set(arch_env WINEARCH=${WINEARCH})
  endif()
  file(MAKE_DIRECTORY "${WINEPREFIX}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${WINEPREFIX} ${arch_env} WINEDEBUG=-all
            "WINEDLLOVERRIDES=mscoree,mshtml=" --
            ${XVFB_RUN} -a -s "-screen 0 1024x768x24" ${WINE} ${EXE}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors
    TIMEOUT 1200)
  message("${output}")
  if(NOT status EQUAL 0 OR NOT output MATCHES "gdi soak passed")
    message("${errors}")
    message(FATAL_ERROR "FAILED: gdi_soak.exe under ${WINE_NAME} ended with status ${status}")
  endif()
  return()
endif()

# ---- the build: one object per source, so they compile in parallel ----
find_program(SG_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT SG_WINE64)
  find_program(SG_WINE64 wine64)
endif()
# The 32-bit loader of Debian's wine32:i386.
set(SG_WINE32 /usr/lib/wine/wine)

file(GLOB SG_GDI_SOAK_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/scene/*.cpp ${CMAKE_SOURCE_DIR}/world/*.cpp
     ${CMAKE_SOURCE_DIR}/frame/*.cpp ${CMAKE_SOURCE_DIR}/shell/*.cpp
     ${CMAKE_SOURCE_DIR}/platform/win32/*.cpp)
list(APPEND SG_GDI_SOAK_SOURCES ${CMAKE_CURRENT_LIST_DIR}/gdi_soak.cpp)

foreach(bits 32 64)
  if(bits EQUAL 64)
    set(triplet x86_64-w64-mingw32)
    set(arch "x86_64 Windows")
    set(wine ${SG_WINE64})
    set(wine_name wine64)
    set(wine_arch "")
  else()
    set(triplet i686-w64-mingw32)
    set(arch "i686 Windows")
    set(wine ${SG_WINE32})
    set(wine_name "32-bit wine (wine32:i386)")
    set(wine_arch win32)
  endif()
  find_program(SG_MINGW${bits}_CXX ${triplet}-g++-posix)
  find_program(SG_MINGW${bits}_WINDRES ${triplet}-windres)
  set(cxx ${SG_MINGW${bits}_CXX})
  set(windres ${SG_MINGW${bits}_WINDRES})
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/gdi_soak${bits})
  set(exe ${dir}/gdi_soak.exe)

  if(cxx AND windres AND TARGET sg_default_scene_package)
    set(objects "")
    foreach(source ${SG_GDI_SOAK_SOURCES})
      file(RELATIVE_PATH name ${CMAKE_SOURCE_DIR} ${source})
      string(REPLACE "/" "_" name "${name}")
      set(object ${dir}/${name}.o)
      add_custom_command(
        OUTPUT ${object}
        COMMAND ${cxx} -std=c++20 -O2 -Wall -Wextra -I${CMAKE_SOURCE_DIR}
                -MD -MF ${object}.d -c ${source} -o ${object}
        DEPENDS ${source}
        DEPFILE ${object}.d
        COMMENT "gdi_soak (${arch}): ${name}"
        VERBATIM)
      list(APPEND objects ${object})
    endforeach()

    set(package ${CMAKE_BINARY_DIR}/scenes/default.kavren)
    file(WRITE ${dir}/package.rc "103 KAVREN \"${package}\"\n")
    add_custom_command(
      OUTPUT ${dir}/package.o
      COMMAND ${windres} ${dir}/package.rc -O coff -o ${dir}/package.o
      DEPENDS ${dir}/package.rc ${package} sg_default_scene_package
      COMMENT "gdi_soak (${arch}): the default scene as resource KAVREN/103"
      VERBATIM)
    add_custom_command(
      OUTPUT ${exe}
      COMMAND ${cxx} ${objects} ${dir}/package.o -o ${exe}
              -static -static-libgcc -static-libstdc++ -lgdi32 -luser32 -lkernel32 -limm32 -lwinmm
      DEPENDS ${objects} ${dir}/package.o
      COMMENT "Linking gdi_soak.exe (${arch})"
      VERBATIM)
    add_custom_target(sg_gdi_soak${bits} ALL DEPENDS ${exe})
  else()
    message(STATUS "gdi_soak.exe (${arch}) is not built: needs ${triplet}-g++-posix, its windres "
                   "and the default scene")
  endif()

  add_test(NAME wine${bits}.gdi-soak
           COMMAND ${CMAKE_COMMAND} -DEXE=${exe} -DWINE=${wine} "-DWINE_NAME=${wine_name}"
                   -DWINEARCH=${wine_arch} -DCOMPILER=${triplet}-g++-posix
                   -DWINEPREFIX=${CMAKE_BINARY_DIR}/wine${bits}-gdi -P ${CMAKE_CURRENT_LIST_FILE})
  set_tests_properties(wine${bits}.gdi-soak PROPERTIES
    SKIP_REGULAR_EXPRESSION "SKIPPED:"
    TIMEOUT 1500
    LABELS wine)
endforeach()
