# Writes a module-definition file naming every export of a DLL, for an
# import library of a DLL whose exports are chosen in its sources.
# cmake -DDLL=<file> -DOBJDUMP=<objdump> -DOUTPUT=<file.def> -P WriteDefFromDll.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${DLL}")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\] [^\n]+\n)*)" _ "${dump}")
string(REGEX REPLACE "[ \t]*\\[[ 0-9]+\\] ([^\n]+)\n" "    \\1\n" exports "${CMAKE_MATCH_1}")
if(exports STREQUAL "")
  message(FATAL_ERROR "${DLL} exports nothing")
endif()
get_filename_component(name ${DLL} NAME)
file(WRITE ${OUTPUT} "LIBRARY ${name}\nEXPORTS\n${exports}")
