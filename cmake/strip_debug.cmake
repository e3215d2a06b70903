# Splits a built ELF program into the stripped program that is installed and
# its debugging information, as Debian's packages ship them:
#
#   cmake -DIN=built -DOUT=stripped -DDEBUG_ROOT=dir -DOBJCOPY=objcopy
#         -DREADELF=readelf -P strip_debug.cmake
#
# DEBUG_ROOT is emptied and receives .build-id/NN/REST.debug (compressed
# debug sections), where debuggers look for the program's build ID; OUT links
# to it by name (.gnu_debuglink) as well.
#
# A scene package appended after the ELF image (the 16-byte "SGKAVREN"
# trailer) is not part of any section, so objcopy would drop it: it is copied
# from IN and appended to OUT again, byte for byte.
foreach(var IN ITEMS IN OUT DEBUG_ROOT OBJCOPY READELF)
  if(NOT ${var})
    message(FATAL_ERROR "strip_debug.cmake: -D${var}= is missing")
  endif()
endforeach()

execute_process(COMMAND ${READELF} -n ${IN} OUTPUT_VARIABLE notes RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT notes MATCHES "Build ID: ([0-9a-f][0-9a-f])([0-9a-f]+)")
  message(FATAL_ERROR "strip_debug.cmake: ${IN} has no build ID (link with --build-id)")
endif()
set(debug ${DEBUG_ROOT}/.build-id/${CMAKE_MATCH_1}/${CMAKE_MATCH_2}.debug)
file(REMOVE_RECURSE ${DEBUG_ROOT})
get_filename_component(debug_dir ${debug} DIRECTORY)
file(MAKE_DIRECTORY ${debug_dir})

# The appended package and its trailer, if any: the trailer's last eight
# bytes are the package's length, little-endian.
file(SIZE ${IN} size)
set(tail_bytes 0)
if(size GREATER 16)
  math(EXPR at "${size} - 16")
  file(READ ${IN} trailer OFFSET ${at} LIMIT 16 HEX)
  if(trailer MATCHES "^53474b415652454e(..)(..)(..)(..)(..)(..)(..)(..)$")
    set(length "")
    foreach(i 8 7 6 5 4 3 2 1)
      string(APPEND length "${CMAKE_MATCH_${i}}")
    endforeach()
    math(EXPR tail_bytes "0x${length} + 16")
    if(tail_bytes GREATER size)
      message(FATAL_ERROR "strip_debug.cmake: ${IN}: the package trailer claims more than the file")
    endif()
  endif()
endif()

macro(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "strip_debug.cmake: ${ARGN} failed: ${errors}")
  endif()
endmacro()

run(${OBJCOPY} --only-keep-debug --compress-debug-sections ${IN} ${debug})
file(CHMOD ${debug} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
run(${OBJCOPY} --strip-unneeded --remove-section=.comment --remove-section=.note
    --add-gnu-debuglink=${debug} ${IN} ${OUT}.elf)
if(tail_bytes GREATER 0)
  run(tail -c ${tail_bytes} ${IN} OUTPUT_FILE ${OUT}.tail)
  execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${OUT}.elf ${OUT}.tail OUTPUT_FILE ${OUT}.new
                  RESULT_VARIABLE status)
  file(REMOVE ${OUT}.elf ${OUT}.tail)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "strip_debug.cmake: cannot append the package to ${OUT}")
  endif()
else()
  file(RENAME ${OUT}.elf ${OUT}.new)
endif()
file(CHMOD ${OUT}.new PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)
file(RENAME ${OUT}.new ${OUT})
