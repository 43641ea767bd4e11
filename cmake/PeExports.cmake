# velnor_pe_dump(<objdump> <dll> <dump var> <exports var>): the `objdump -p`
# text of a Windows DLL and the names in its export table, in table order.
function(velnor_pe_dump tool dll dump_var exports_var)
  execute_process(COMMAND ${tool} -p ${dll} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${tool} failed on ${dll}")
  endif()
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\] [^\n]+\n)*)" _ "${dump}")
  # Brackets would confuse CMake's lists: strip the "[  n] " prefixes as text first.
  string(REGEX REPLACE "[ \t]*\\[[ 0-9]+\\] ([^\n]+)\n" "\\1;" exports "${CMAKE_MATCH_1}")
  string(REGEX REPLACE ";$" "" exports "${exports}")
  set(${dump_var} "${dump}" PARENT_SCOPE)
  set(${exports_var} "${exports}" PARENT_SCOPE)
endfunction()
