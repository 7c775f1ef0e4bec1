# The sample release folder: the 18 rows' files as a vendor would deliver them,
# made in the build tree. Stored rows appear under their row names, compressed
# rows as their plain files (Tolvex.exe, not Tolvex.ex_), which the staging
# packs. Included from launcher/CMakeLists.txt, so that its outputs live in the
# same directory scope as the launchers built from them.
#
# Sets TOLVEX_SAMPLE_RELEASE_DIR and TOLVEX_SAMPLE_RELEASE_TARGETS.
include_guard(GLOBAL)

set(TOLVEX_PAYLOAD_SOURCE_DIR ${CMAKE_SOURCE_DIR}/payload)
set(TOLVEX_SAMPLE_RELEASE_DIR ${CMAKE_BINARY_DIR}/payload/release)
file(MAKE_DIRECTORY ${TOLVEX_SAMPLE_RELEASE_DIR})
set(_release ${TOLVEX_SAMPLE_RELEASE_DIR})

find_package(Python3 REQUIRED COMPONENTS Interpreter)
# The program and DLL stand-ins are real PEs, made by the mingw compilers of
# the build machine in every build.
find_program(TOLVEX_MINGW32_CC i686-w64-mingw32-gcc REQUIRED)
find_program(TOLVEX_MINGW64_CC x86_64-w64-mingw32-gcc REQUIRED)

# The inner setup: a native program in a native build, an i686 PE in the
# cross build. Its file is the plain "Setup.exe" that row 17 is packed from.
add_executable(inner_setup
  ${TOLVEX_PAYLOAD_SOURCE_DIR}/inner_setup/main.cpp
  ${TOLVEX_PAYLOAD_SOURCE_DIR}/inner_setup/list_file.cpp
  ${TOLVEX_PAYLOAD_SOURCE_DIR}/inner_setup/current_directory_${TOLVEX_BACKEND}.cpp)
# Stripped: the program travels compressed inside every launcher.
target_link_options(inner_setup PRIVATE -s)
set_target_properties(inner_setup PROPERTIES
  OUTPUT_NAME Setup
  SUFFIX ".exe"
  WIN32_EXECUTABLE TRUE
  RUNTIME_OUTPUT_DIRECTORY ${_release})

# Text rows, committed byte for byte.
set(_copied "")
foreach(name Readme.txt Terms.txt Setup.lst)
  add_custom_command(
    OUTPUT ${_release}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${TOLVEX_PAYLOAD_SOURCE_DIR}/release/${name} ${_release}/${name}
    DEPENDS ${TOLVEX_PAYLOAD_SOURCE_DIR}/release/${name}
    VERBATIM)
  list(APPEND _copied ${_release}/${name})
endforeach()

# Icon, help stand-in and style files.
set(_generated Shortcut.ico Tolvex.chm StyleA.vsf StyleB.vsf StyleC.vsf StyleD.vsf StyleE.vsf StyleF.vsf)
list(TRANSFORM _generated PREPEND ${_release}/)
add_custom_command(
  OUTPUT ${_generated}
  COMMAND ${Python3_EXECUTABLE} ${TOLVEX_PAYLOAD_SOURCE_DIR}/make_sample_files.py ${_release}
  COMMAND ${CMAKE_COMMAND} -E touch ${_generated}
  DEPENDS ${TOLVEX_PAYLOAD_SOURCE_DIR}/make_sample_files.py
  COMMENT "Generating the sample icon, help and style files"
  VERBATIM)

# file, compiler, source, extra flags
set(_standins
  "Tolvex.exe|${TOLVEX_MINGW32_CC}|program.c|-DPROGRAM_NAME=\"Tolvex\""
  "Plenum.dll|${TOLVEX_MINGW32_CC}|library.c|-shared"
  "Vantor.exe|${TOLVEX_MINGW64_CC}|program.c|-DPROGRAM_NAME=\"Vantor\""
  "TolvexMail.exe|${TOLVEX_MINGW32_CC}|program.c|-DPROGRAM_NAME=\"TolvexMail\""
  "Kestrum.exe|${TOLVEX_MINGW32_CC}|program.c|-DPROGRAM_NAME=\"Kestrum\""
  "Norvik.bin|${TOLVEX_MINGW32_CC}|program.c|-DPROGRAM_NAME=\"Norvik\"")
set(_built "")
foreach(entry IN LISTS _standins)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 compiler)
  list(GET parts 2 source)
  list(GET parts 3 flags)
  add_custom_command(
    OUTPUT ${_release}/${name}
    COMMAND ${compiler} -Os -s -Wl,--no-insert-timestamp ${flags}
            -o ${_release}/${name} ${TOLVEX_PAYLOAD_SOURCE_DIR}/standins/${source}
    DEPENDS ${TOLVEX_PAYLOAD_SOURCE_DIR}/standins/${source}
    COMMENT "Building the stand-in ${name}"
    VERBATIM)
  list(APPEND _built ${_release}/${name})
endforeach()

add_custom_target(sample_release DEPENDS ${_copied} ${_generated} ${_built})
add_dependencies(sample_release inner_setup)
set(TOLVEX_SAMPLE_RELEASE_TARGETS sample_release inner_setup ${_copied} ${_generated} ${_built})
unset(_release)
