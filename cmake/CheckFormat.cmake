# Fails when a C or C++ file that git tracks differs from what clang-format
# makes of it with the root .clang-format, and names each such file.
#   cmake -DSOURCE_DIR=<tree> -DCLANG_FORMAT=<program> -DGIT=<program> -P CheckFormat.cmake
cmake_minimum_required(VERSION 3.25)

foreach(variable SOURCE_DIR CLANG_FORMAT GIT)
  if(NOT ${variable})
    message(FATAL_ERROR "CheckFormat.cmake needs -D${variable}=...")
  endif()
endforeach()

execute_process(
  COMMAND ${GIT} ls-files -- *.c *.cpp *.cc *.h *.hpp
  WORKING_DIRECTORY ${SOURCE_DIR}
  OUTPUT_VARIABLE listing
  RESULT_VARIABLE git_result)
if(NOT git_result EQUAL 0)
  message(FATAL_ERROR "git ls-files failed in ${SOURCE_DIR}")
endif()
string(REPLACE "\n" ";" files "${listing}")
list(FILTER files EXCLUDE REGEX "^$")
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "git tracks no C or C++ file in ${SOURCE_DIR}")
endif()

execute_process(
  COMMAND ${CLANG_FORMAT} --dry-run --Werror --style=file ${files}
  WORKING_DIRECTORY ${SOURCE_DIR}
  RESULT_VARIABLE format_result
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)

# clang-format names each difference "file:line:column: error: ..."; keep the files.
set(offenders "")
string(REPLACE "\n" ";" lines "${out}${err}")
foreach(line IN LISTS lines)
  if(line MATCHES "^(.+):[0-9]+:[0-9]+: (error|warning): ")
    list(APPEND offenders "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(REMOVE_DUPLICATES offenders)

if(offenders)
  list(LENGTH offenders bad)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "${bad} of ${count} files differ from clang-format "
                      "(run clang-format -i on them):\n  ${text}")
endif()
if(NOT format_result EQUAL 0)
  message(FATAL_ERROR "clang-format failed (${format_result}):\n${err}")
endif()
message(STATUS "format_check: ${count} files as clang-format writes them")
