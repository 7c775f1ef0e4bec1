# Staging of the payload: from a release folder to the 18 files the launcher
# embeds.
#
# tolvex_stage_release(<name> RELEASE_DIR <folder> STAGE_DIR <folder>
#                      [DEPENDS <targets or files that make the release folder>])
#   Adds the custom target <name>, which writes the 18 rows of the manifest
#   into STAGE_DIR, each under its row file name: taken as it is when the
#   release folder holds that name, packed with `lzh pack` when it holds the
#   row's plain file instead; a row with neither stops the build with an error
#   naming the file. Sets <name>_FILES in the caller's scope to the 18 staged
#   paths, in row order.
#
# The packer runs on the build machine: in a native build it is the lzh_tool
# target; in a cross build it is LZH_EXECUTABLE, a native lzh built beforehand.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/tolvex_manifest.cmake)

set(TOLVEX_MANIFEST ${CMAKE_SOURCE_DIR}/payload/manifest.tsv)
set(TOLVEX_STAGE_ROW_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/tolvex_stage_row.cmake)

if(TARGET lzh_tool)
  set(TOLVEX_LZH_COMMAND $<TARGET_FILE:lzh_tool>)
  set(TOLVEX_LZH_DEPENDS lzh_tool)
else()
  set(LZH_EXECUTABLE ${CMAKE_SOURCE_DIR}/build/native/bin/lzh CACHE FILEPATH
      "The native lzh tool that packs the compressed payload rows")
  if(NOT EXISTS "${LZH_EXECUTABLE}")
    message(FATAL_ERROR
      "LZH_EXECUTABLE: no lzh tool at '${LZH_EXECUTABLE}'. This build packs the compressed "
      "payload rows on the build machine: build the native tool first "
      "(cmake --preset native && cmake --build --preset native --target lzh_tool) "
      "or pass -DLZH_EXECUTABLE=<path to a native lzh>.")
  endif()
  set(TOLVEX_LZH_COMMAND ${LZH_EXECUTABLE})
  set(TOLVEX_LZH_DEPENDS ${LZH_EXECUTABLE})
endif()

function(tolvex_stage_release name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "RELEASE_DIR;STAGE_DIR" "DEPENDS")
  if(NOT arg_RELEASE_DIR OR NOT arg_STAGE_DIR)
    message(FATAL_ERROR "tolvex_stage_release(${name}): RELEASE_DIR and STAGE_DIR are required")
  endif()
  get_filename_component(release "${arg_RELEASE_DIR}" ABSOLUTE)
  tolvex_read_manifest(${TOLVEX_MANIFEST} m)
  # A folder outside the build tree may gain or lose files: its listing is
  # watched, so the next build looks at it again.
  # (A folder that the build itself fills is tracked through DEPENDS instead.)
  cmake_path(IS_PREFIX CMAKE_BINARY_DIR "${release}" NORMALIZE in_build_tree)
  if(EXISTS "${release}" AND NOT in_build_tree)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${release}")
  endif()
  file(MAKE_DIRECTORY "${arg_STAGE_DIR}")
  # Targets among DEPENDS (the programs that make release files) order every
  # row after them; files among DEPENDS count only for their own row.
  set(depend_targets "")
  foreach(dep IN LISTS arg_DEPENDS)
    if(TARGET ${dep})
      list(APPEND depend_targets ${dep})
    endif()
  endforeach()
  set(staged "")
  foreach(row IN LISTS m_ROWS)
    set(target "${m_TARGET_${row}}")
    set(expanded "${m_EXPANDED_${row}}")
    set(output "${arg_STAGE_DIR}/${target}")
    # Whatever the release folder holds of this row is a dependency; files that
    # the build makes come in through DEPENDS.
    set(inputs "")
    foreach(candidate IN ITEMS "${target}" "${expanded}")
      if(candidate STREQUAL "")
        continue()
      endif()
      set(path "${release}/${candidate}")
      if(EXISTS "${path}" OR path IN_LIST arg_DEPENDS)
        list(APPEND inputs "${path}")
      endif()
    endforeach()
    set(lzh_args "")
    if(NOT expanded STREQUAL "")
      set(lzh_args -DLZH=${TOLVEX_LZH_COMMAND})
      list(APPEND inputs ${TOLVEX_LZH_DEPENDS})
    endif()
    add_custom_command(
      OUTPUT "${output}"
      COMMAND ${CMAKE_COMMAND} -DRELEASE_DIR=${release} -DROW=${row} -DTARGET=${target}
              -DEXPANDED=${expanded} -DOUTPUT=${output} ${lzh_args}
              -P ${TOLVEX_STAGE_ROW_SCRIPT}
      DEPENDS ${TOLVEX_STAGE_ROW_SCRIPT} ${TOLVEX_MANIFEST} ${inputs} ${depend_targets}
      COMMENT "Staging payload row ${row}: ${target}"
      VERBATIM)
    list(APPEND staged "${output}")
  endforeach()
  add_custom_target(${name} DEPENDS ${staged})
  set(${name}_FILES ${staged} PARENT_SCOPE)
endfunction()
