# Builds the SDK archive with CPack, unpacks it into a fresh folder, verifies
# its SHA256SUMS with sha256sum, compares its files with the layout kept in
# archive_layout.txt, checks the CR LF line ends of the documents and that the
# README names the recording build, the dissector, the traces' guide and the
# format header. Later checks use the unpacked tree.
#
# cmake -DBUILD_DIR=... -DUNPACK_DIR=... -DLAYOUT=... -DVERSION=... -P check_archive.cmake
include(${CMAKE_CURRENT_LIST_DIR}/sdk_common.cmake)
require_vars(BUILD_DIR UNPACK_DIR LAYOUT VERSION)

set(name Velnor-${VERSION}-win64)
set(zip ${BUILD_DIR}/package/${name}.zip)
file(REMOVE ${zip})
run(${CMAKE_CPACK_COMMAND} --config ${BUILD_DIR}/CPackConfig.cmake)
if(NOT EXISTS ${zip})
  message(FATAL_ERROR "CPack made no ${zip}:\n${run_output}")
endif()

file(REMOVE_RECURSE ${UNPACK_DIR})
file(MAKE_DIRECTORY ${UNPACK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${UNPACK_DIR}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "could not unpack ${zip}")
endif()
file(GLOB top RELATIVE ${UNPACK_DIR} ${UNPACK_DIR}/*)
if(NOT top STREQUAL name)
  message(FATAL_ERROR "the archive should hold one folder ${name}, not: ${top}")
endif()
set(root ${UNPACK_DIR}/${name})

# Every file but SHA256SUMS itself is listed, and every listed file matches.
find_program(SHA256SUM sha256sum REQUIRED)
execute_process(COMMAND ${SHA256SUM} --check --strict SHA256SUMS WORKING_DIRECTORY ${root}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "SHA256SUMS does not verify:\n${out}")
endif()
file(STRINGS ${root}/SHA256SUMS sum_lines)
set(summed "")
foreach(line IN LISTS sum_lines)
  if(NOT line MATCHES "^[0-9a-f]+  (.+)$")
    message(FATAL_ERROR "malformed SHA256SUMS line: ${line}")
  endif()
  list(APPEND summed ${CMAKE_MATCH_1})
endforeach()
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
list(REMOVE_ITEM files SHA256SUMS)
list(SORT files)
list(SORT summed)
if(NOT files STREQUAL summed)
  message(FATAL_ERROR "SHA256SUMS lists:\n${summed}\nthe archive holds:\n${files}")
endif()

# The layout: each line of archive_layout.txt is a file that must be there;
# a line "dir/..." allows any further files under dir/. Nothing else may be.
file(STRINGS ${LAYOUT} layout_lines REGEX "^[^#]")
list(APPEND files SHA256SUMS)
set(missing "")
set(open_dirs "")
foreach(line IN LISTS layout_lines)
  if(line MATCHES "^(.+/)\\.\\.\\.$")
    list(APPEND open_dirs ${CMAKE_MATCH_1})
  else()
    list(FIND files "${line}" at)
    if(at EQUAL -1)
      list(APPEND missing ${line})
    endif()
  endif()
endforeach()
set(unexpected "")
foreach(f IN LISTS files)
  list(FIND layout_lines "${f}" at)
  if(at GREATER -1)
    continue()
  endif()
  set(allowed FALSE)
  foreach(d IN LISTS open_dirs)
    string(FIND "${f}" "${d}" pos)
    if(pos EQUAL 0)
      set(allowed TRUE)
    endif()
  endforeach()
  if(NOT allowed)
    list(APPEND unexpected ${f})
  endif()
endforeach()
if(missing OR unexpected)
  list(JOIN missing "\n  " missing_text)
  list(JOIN unexpected "\n  " unexpected_text)
  message(FATAL_ERROR "the archive's layout differs from ${LAYOUT}\n"
                      "missing:\n  ${missing_text}\nnot in the layout:\n  ${unexpected_text}")
endif()
# The documents a Windows user opens end every line with CR LF (the examples
# are sources for a compiler and CMake, and keep LF).
file(GLOB_RECURSE texts RELATIVE ${root} ${root}/*.txt ${root}/*.md ${root}/*.inf ${root}/*.reg)
list(FILTER texts EXCLUDE REGEX "^examples/")
list(FIND texts README.txt at)
if(at EQUAL -1)
  message(FATAL_ERROR "no README.txt among the documents: ${texts}")
endif()
set(bare_lf "")
foreach(f IN LISTS texts)
  # Read as bytes (a text read drops the CRs), one "xx " per byte.
  file(READ ${root}/${f} bytes HEX)
  string(REGEX REPLACE "(..)" "\\1 " bytes "${bytes}")
  string(REPLACE "0d 0a " "" rest "${bytes}")
  if(rest MATCHES "(^| )0a " OR rest STREQUAL bytes)
    list(APPEND bare_lf ${f})
  endif()
endforeach()
if(bare_lf)
  list(JOIN bare_lf "\n  " bare_lf_text)
  message(FATAL_ERROR "lines not ended by CR LF in:\n  ${bare_lf_text}")
endif()
list(LENGTH texts text_count)

# The README names what a user needs to record a session and read its trace, each a
# file the archive holds.
file(READ ${root}/README.txt readme)
foreach(named [[trace\Velnor.dll]] [[tools\wireshark\velnor_trace.lua]] [[docs\traces.md]]
              [[include\velnor_trace_format.h]])
  string(FIND "${readme}" "${named}" at)
  string(REPLACE "\\" "/" path "${named}")
  if(at EQUAL -1 OR NOT EXISTS ${root}/${path})
    message(FATAL_ERROR "README.txt does not name ${named}, or the archive lacks it")
  endif()
endforeach()

list(LENGTH files count)
message(STATUS "${zip}: ${count} files, SHA256SUMS verified, layout as listed, "
               "${text_count} documents with CR LF lines")
