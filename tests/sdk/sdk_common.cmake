# Helpers of the SDK archive checks (cmake -P scripts).

# run(<command>...): runs it, fails the check on a non-zero exit, and leaves
# its standard output and error (CR LF turned into LF) in run_output.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REPLACE "\r" "" out "${out}")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

# run_status(<command>...): like run(), but any exit status is accepted and
# left in run_status.
function(run_status)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REPLACE "\r" "" out "${out}")
  string(REPLACE "\r" "" err "${err}")
  set(run_output "${out}" PARENT_SCOPE)
  set(run_error "${err}" PARENT_SCOPE)
  set(run_status "${result}" PARENT_SCOPE)
endfunction()

function(require_vars)
  foreach(var IN LISTS ARGN)
    if(NOT DEFINED ${var})
      message(FATAL_ERROR "${var} is not set")
    endif()
  endforeach()
endfunction()

# A fresh folder holding copies of the given files.
function(fresh_folder dir)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  foreach(f IN LISTS ARGN)
    if(NOT EXISTS ${f})
      message(FATAL_ERROR "missing: ${f}")
    endif()
    file(COPY ${f} DESTINATION ${dir})
  endforeach()
endfunction()
