# Embedding of the payload in an ELF image, for the posix backend.
#
# tolvex_embed_resources(<target> <manifest.tsv> <payload dir> "<omitted>" "<depends>")
#   Generates <target>_resources.S, which places each row's file in the image
#   with .incbin and defines the table platform_embedded_resources (type
#   "FILE", the name in upper case as a resource table stores it, address and
#   size), and adds it to <target>. The loader maps the bytes with the image;
#   the launcher uses them where they are. Rows whose resource names are in
#   <omitted> are left out. <depends> are targets that make the payload files.
#   Also writes <target>_resources.txt, one "TYPE NAME FILE" line per embedded
#   row, for the tests that compare it with the manifest.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/tolvex_manifest.cmake)

enable_language(ASM)

function(tolvex_embed_resources target manifest payload_dir omitted depends)
  tolvex_read_manifest("${manifest}" m)
  set(blobs "")
  set(strings "    .asciz \"FILE\"\n")
  set(table "")
  set(listing "")
  set(files "")
  set(count 0)
  foreach(row IN LISTS m_ROWS)
    set(resource "${m_RESOURCE_${row}}")
    if(resource IN_LIST omitted)
      continue()
    endif()
    set(file "${payload_dir}/${m_TARGET_${row}}")
    if(file MATCHES "[\"\\\\\n]")
      message(FATAL_ERROR "tolvex_embed_resources: unusable payload path '${file}'")
    endif()
    string(TOUPPER "${resource}" upper)
    string(APPEND blobs
      "    .balign 16\n"
      ".Ltolvex_data_${row}:\n"
      "    .incbin \"${file}\"\n"
      ".Ltolvex_data_end_${row}:\n")
    string(APPEND strings ".Ltolvex_name_${row}:\n    .asciz \"${upper}\"\n")
    # Matches struct EmbeddedResource: three pointers and a 32-bit size,
    # padded to the pointer alignment.
    string(APPEND table
      "    .dc.a .Ltolvex_type\n"
      "    .dc.a .Ltolvex_name_${row}\n"
      "    .dc.a .Ltolvex_data_${row}\n"
      "    .long .Ltolvex_data_end_${row} - .Ltolvex_data_${row}\n"
      "    .balign 8\n")
    string(APPEND listing "FILE ${upper} ${file}\n")
    list(APPEND files "${file}")
    math(EXPR count "${count} + 1")
  endforeach()
  if(count EQUAL 0)
    set(table "    .dc.a 0, 0, 0\n    .long 0\n    .balign 8\n")
  endif()

  set(asm "/* Generated for ${target} from ${manifest}. */\n"
          "    .section .rodata.tolvex_payload,\"a\"\n${blobs}"
          "    .section .rodata.tolvex_names,\"a\"\n.Ltolvex_type:\n${strings}"
          "    .section .data.rel.ro.tolvex_table,\"aw\"\n"
          "    .balign 8\n"
          "    .globl platform_embedded_resources\n"
          "    .type platform_embedded_resources, %object\n"
          "platform_embedded_resources:\n${table}"
          "    .size platform_embedded_resources, . - platform_embedded_resources\n"
          "    .section .rodata.tolvex_count,\"a\"\n"
          "    .balign 4\n"
          "    .globl platform_embedded_resource_count\n"
          "    .type platform_embedded_resource_count, %object\n"
          "platform_embedded_resource_count:\n"
          "    .long ${count}\n"
          "    .size platform_embedded_resource_count, 4\n"
          "    .section .note.GNU-stack,\"\",%progbits\n")
  string(JOIN "" asm ${asm})
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.S)
  file(CONFIGURE OUTPUT ${source} CONTENT "${asm}" @ONLY)
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.txt CONTENT "${listing}" @ONLY)
  target_sources(${target} PRIVATE ${source})
  set_source_files_properties(${source} PROPERTIES OBJECT_DEPENDS "${files}")
  if(depends)
    add_dependencies(${target} ${depends})
  endif()
endfunction()
