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

# Reads the manifest table: sets <out_names> and <out_files> to the resource
# names and target file names, in row order.
function(tolvex_read_payload_manifest manifest out_names out_files)
  file(STRINGS ${manifest} lines)
  set(names)
  set(files)
  foreach(line IN LISTS lines)
    if(line MATCHES "^#" OR line STREQUAL "")
      continue()
    endif()
    string(REPLACE "\t" ";" fields "${line}")
    list(GET fields 1 name)
    list(GET fields 2 file)
    list(APPEND names ${name})
    list(APPEND files ${file})
  endforeach()
  set(${out_names} ${names} PARENT_SCOPE)
  set(${out_files} ${files} PARENT_SCOPE)
endfunction()

function(tolvex_embed_resources target manifest payload_dir omitted depends)
  tolvex_read_payload_manifest(${manifest} names files)
  string(TOUPPER "${omitted}" omitted_upper)

  set(script "// Resources of ${target}, generated from ${manifest}.\n")
  string(APPEND script "LANGUAGE 0, 0\n")
  set(payload_files)
  foreach(name file IN ZIP_LISTS names files)
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
