# Puts the scene package where the resource compiler finds it, touching the
# copy only when the bytes changed (so an unchanged scene does not relink).
#   cmake -DSOURCE=... -DTARGET=... -P stage_package.cmake
if(NOT EXISTS "${SOURCE}")
  message(FATAL_ERROR
    "The scene package ${SOURCE} does not exist.\n"
    "The Windows builds embed the default scene made by the linux build: "
    "build that first (cmake --preset linux && cmake --build --preset linux), "
    "or set SNOWGLOBE_DEFAULT_PACKAGE to another package file.")
endif()
file(SIZE "${SOURCE}" size)
if(size LESS 112)
  message(FATAL_ERROR "${SOURCE} is ${size} bytes: too small to be a scene package.")
endif()
file(COPY_FILE "${SOURCE}" "${TARGET}" ONLY_IF_DIFFERENT)
