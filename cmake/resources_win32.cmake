# Resources of a Windows launcher image: the payload rows as type "FILE" under
# the names Test1..Test18 (language neutral) and the application manifest as
# type 24, id 1, language 1031 (German). The image is a GUI program.
#
#   tolvex_embed_resources(<target> <manifest.tsv> <payload dir>
#                          "<omitted resource names>" "<targets to depend on>")
#
# The resource script is generated from the manifest table into
# <binary dir>/<target>.rc, compiled by windres into a COFF object and linked
# into the target. Omitted names (for test builds) are left out of the script.

include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/tolvex_manifest.cmake)

set(TOLVEX_APPLICATION_MANIFEST ${CMAKE_SOURCE_DIR}/payload/Setup_Tolvex.manifest)

if(CMAKE_RC_COMPILER)
  set(TOLVEX_WINDRES ${CMAKE_RC_COMPILER})
else()
  find_program(TOLVEX_WINDRES NAMES ${TOOLCHAIN_PREFIX}-windres windres REQUIRED)
endif()

# mingw's gcc links default-manifest.o into every program when the toolchain
# ships it; that would be a second type 24 resource beside ours. An empty
# object of the same name, found first through -B, keeps it out.
execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=default-manifest.o
                OUTPUT_VARIABLE _tolvex_default_manifest OUTPUT_STRIP_TRAILING_WHITESPACE)
if(IS_ABSOLUTE "${_tolvex_default_manifest}")
  set(_tolvex_no_manifest_dir ${CMAKE_BINARY_DIR}/no-default-manifest)
  file(MAKE_DIRECTORY ${_tolvex_no_manifest_dir})
  file(WRITE ${_tolvex_no_manifest_dir}/empty.c "")
  execute_process(COMMAND ${CMAKE_C_COMPILER} -c ${_tolvex_no_manifest_dir}/empty.c
                          -o ${_tolvex_no_manifest_dir}/default-manifest.o
                  RESULT_VARIABLE _tolvex_rc)
  if(NOT _tolvex_rc EQUAL 0)
    message(FATAL_ERROR "cannot build the empty default-manifest.o")
  endif()
  set(TOLVEX_NO_DEFAULT_MANIFEST_FLAG "-B${_tolvex_no_manifest_dir}/")
endif()

function(tolvex_embed_resources target manifest payload_dir omitted depends)
  tolvex_read_manifest(${manifest} m)
  string(TOUPPER "${omitted}" omitted_upper)

  set(script "// Resources of ${target}, generated from ${manifest}.\n")
  string(APPEND script "LANGUAGE 0, 0\n")
  set(payload_files)
  foreach(row IN LISTS m_ROWS)
    set(name "${m_RESOURCE_${row}}")
    set(file "${m_TARGET_${row}}")
    string(TOUPPER "${name}" name_upper)
    if(name_upper IN_LIST omitted_upper)
      continue()
    endif()
    string(APPEND script "${name} FILE \"${payload_dir}/${file}\"\n")
    list(APPEND payload_files ${payload_dir}/${file})
  endforeach()
  string(APPEND script "LANGUAGE 7, 1\n")
  string(APPEND script "1 24 \"${TOLVEX_APPLICATION_MANIFEST}\"\n")

  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}.res.o)
  file(GENERATE OUTPUT ${rc} CONTENT "${script}")
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${TOLVEX_WINDRES} --input-format=rc --output-format=coff -i ${rc} -o ${object}
    DEPENDS ${rc} ${payload_files} ${TOLVEX_APPLICATION_MANIFEST} ${manifest} ${depends}
    COMMENT "Resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${object})
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  if(TOLVEX_NO_DEFAULT_MANIFEST_FLAG)
    target_link_options(${target} PRIVATE ${TOLVEX_NO_DEFAULT_MANIFEST_FLAG})
  endif()
endfunction()
