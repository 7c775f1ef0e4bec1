# Reads payload/manifest.tsv, the one list of the 18 payload rows.
#
# tolvex_read_manifest(<manifest.tsv> <prefix>) sets in the caller's scope:
#   <prefix>_ROWS            the row numbers, 1 to 18, in order
#   <prefix>_RESOURCE_<n>    the resource name of row n ("Test1")
#   <prefix>_TARGET_<n>      the file the launcher writes ("Tolvex.ex_")
#   <prefix>_EXPANDED_<n>    the plain file a compressed row is packed from
#                            ("Tolvex.exe"), or empty for a stored row
# It fails the configure step when the table is malformed, so neither the code's
# table nor the embedded resources can be built from a broken list.
include_guard(GLOBAL)

function(tolvex_read_manifest manifest prefix)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${manifest}")
  file(STRINGS "${manifest}" lines ENCODING UTF-8)
  set(rows "")
  set(expected 1)
  foreach(line IN LISTS lines)
    if(line MATCHES "^#" OR line STREQUAL "")
      continue()
    endif()
    if(NOT line MATCHES "^([0-9]+)\t([^\t]+)\t([^\t]+)\t([^\t]+)$")
      message(FATAL_ERROR "${manifest}: not a row (row, resource, target, expanded): '${line}'")
    endif()
    set(row "${CMAKE_MATCH_1}")
    set(resource "${CMAKE_MATCH_2}")
    set(target "${CMAKE_MATCH_3}")
    set(expanded "${CMAKE_MATCH_4}")
    if(NOT row EQUAL expected OR NOT resource STREQUAL "Test${row}")
      message(FATAL_ERROR "${manifest}: expected row ${expected} with resource Test${expected}, found '${line}'")
    endif()
    if(target MATCHES "[\\\\/:]" OR expanded MATCHES "[\\\\/:]")
      message(FATAL_ERROR "${manifest}: row ${row}: file names must be plain names")
    endif()
    if(expanded STREQUAL "-")
      set(expanded "")
    endif()
    list(APPEND rows ${row})
    set(${prefix}_RESOURCE_${row} "${resource}" PARENT_SCOPE)
    set(${prefix}_TARGET_${row} "${target}" PARENT_SCOPE)
    set(${prefix}_EXPANDED_${row} "${expanded}" PARENT_SCOPE)
    math(EXPR expected "${expected} + 1")
  endforeach()
  list(LENGTH rows count)
  if(NOT count EQUAL 18)
    message(FATAL_ERROR "${manifest}: 18 rows expected, found ${count}")
  endif()
  set(${prefix}_ROWS ${rows} PARENT_SCOPE)
endfunction()

# Writes the rows as C++ initialisers {"Test1", "Tolvex.ex_"}, one per line.
function(tolvex_write_manifest_inc manifest output)
  tolvex_read_manifest("${manifest}" m)
  set(content "// Generated from ${manifest}; edit that file instead.\n")
  foreach(row IN LISTS m_ROWS)
    string(APPEND content "{\"${m_RESOURCE_${row}}\", \"${m_TARGET_${row}}\"},\n")
  endforeach()
  file(CONFIGURE OUTPUT "${output}" CONTENT "${content}" @ONLY)
endfunction()
