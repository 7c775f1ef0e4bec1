# Stages one payload row (run with cmake -P):
#   -DRELEASE_DIR=<folder> -DROW=<n> -DTARGET=<file name> [-DEXPANDED=<file name>]
#   -DOUTPUT=<staged file> -DLZH=<lzh tool>
# A release folder that holds the row's own file ("Tolvex.ex_") gives it as it
# is. For a compressed row whose plain file ("Tolvex.exe") is there instead,
# the plain file is packed. Anything else stops the build, naming the file.
cmake_minimum_required(VERSION 3.25)

foreach(var RELEASE_DIR ROW TARGET OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "tolvex_stage_row: ${var} not set")
  endif()
endforeach()

set(row_file "${RELEASE_DIR}/${TARGET}")
if(EXISTS "${row_file}" AND NOT IS_DIRECTORY "${row_file}")
  file(COPY_FILE "${row_file}" "${OUTPUT}" ONLY_IF_DIFFERENT)
  file(TOUCH_NOCREATE "${OUTPUT}")
  return()
endif()

if(NOT "${EXPANDED}" STREQUAL "")
  set(plain_file "${RELEASE_DIR}/${EXPANDED}")
  if(EXISTS "${plain_file}" AND NOT IS_DIRECTORY "${plain_file}")
    if(NOT LZH)
      message(FATAL_ERROR "payload row ${ROW}: no lzh tool to pack ${EXPANDED} into ${TARGET}")
    endif()
    execute_process(COMMAND "${LZH}" pack "${plain_file}" "${OUTPUT}"
                    RESULT_VARIABLE rc ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      file(REMOVE "${OUTPUT}")
      message(FATAL_ERROR "payload row ${ROW}: packing ${plain_file} into ${TARGET} failed (${rc}): ${err}")
    endif()
    return()
  endif()
  message(FATAL_ERROR "payload row ${ROW}: missing file ${TARGET} (or ${EXPANDED} to pack it from) in ${RELEASE_DIR}")
endif()
message(FATAL_ERROR "payload row ${ROW}: missing file ${TARGET} in ${RELEASE_DIR}")
