# Builds the API reference afresh (Doxygen fails on any warning) and checks
# its content with check_api_reference.py.
#
# cmake -DDOXYGEN=... -DDOXYFILE=... -DOUTPUT=... -DPYTHON=... -DCHECK=... -DDEF=... -DRETVALS=...
#       -P check_api_reference.cmake
include(${CMAKE_CURRENT_LIST_DIR}/sdk_common.cmake)
require_vars(DOXYGEN DOXYFILE OUTPUT PYTHON CHECK DEF RETVALS)

file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})
execute_process(COMMAND ${DOXYGEN} ${DOXYFILE} RESULT_VARIABLE result OUTPUT_VARIABLE out
                ERROR_VARIABLE out)
if(EXISTS ${OUTPUT}/warnings.txt)
  file(READ ${OUTPUT}/warnings.txt warnings)
endif()
if(NOT result EQUAL 0 OR NOT "${warnings}" STREQUAL "")
  message(FATAL_ERROR "Doxygen failed (${result}):\n${out}${warnings}")
endif()
run(${PYTHON} ${CHECK} ${OUTPUT} ${DEF} ${RETVALS})
message(STATUS "${run_output}")
