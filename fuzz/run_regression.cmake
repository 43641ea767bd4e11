# Runs a harness once over each file of its seed corpus and its regression
# inputs (libFuzzer runs files given as arguments once each and writes
# nothing). The folders are read at test time, so a newly added input needs
# no reconfigure.
#   cmake -DHARNESS=<program> -DCORPUS=<folder> -DREGRESSIONS=<folder> -P run_regression.cmake
file(GLOB inputs LIST_DIRECTORIES false "${CORPUS}/*" "${REGRESSIONS}/*")
list(FILTER inputs EXCLUDE REGEX "/(README[^/]*|\\.[^/]*)$")
list(LENGTH inputs count)
if(count EQUAL 0)
  message(FATAL_ERROR "No inputs in ${CORPUS}")
endif()
message(STATUS "Running ${HARNESS} over ${count} inputs")
execute_process(COMMAND ${HARNESS} -runs=1 ${inputs} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${HARNESS} failed (${result}) on one of its inputs")
endif()
