# Writes a module-definition file naming every export of a DLL, for an
# import library of a DLL whose exports are chosen in its sources.
# cmake -DDLL=<file> -DOBJDUMP=<objdump> -DOUTPUT=<file.def> -P WriteDefFromDll.cmake
include(${CMAKE_CURRENT_LIST_DIR}/PeExports.cmake)
velnor_pe_dump(${OBJDUMP} ${DLL} dump exports)
if(NOT exports)
  message(FATAL_ERROR "${DLL} exports nothing")
endif()
get_filename_component(name ${DLL} NAME)
list(JOIN exports "\n    " lines)
file(WRITE ${OUTPUT} "LIBRARY ${name}\nEXPORTS\n    ${lines}\n")
