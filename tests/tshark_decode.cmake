# Shared by the trace decode tests (cmake -P scripts).
#
#   velnor_check_decode(<trace> <expected line>...)
#
# Decodes <trace> with tshark -V and the repository's dissector (TSHARK and
# DISSECTOR as the script was given them). Fails when tshark fails, when the
# decode is malformed or the dissector errs, or when a line is missing.
function(velnor_check_decode trace)
  execute_process(COMMAND ${TSHARK} -X lua_script:${DISSECTOR} -r ${trace} -V
                  RESULT_VARIABLE result OUTPUT_VARIABLE decoded ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "tshark failed (${result}): ${errors}")
  endif()
  foreach(bad "Malformed" "Lua Error" "Expert Info")
    string(FIND "${decoded}${errors}" "${bad}" at)
    if(NOT at EQUAL -1)
      message(SEND_ERROR "the decode says \"${bad}\"")
    endif()
  endforeach()
  foreach(line IN LISTS ARGN)
    string(FIND "${decoded}" "${line}" at)
    if(at EQUAL -1)
      message(SEND_ERROR "the decode lacks \"${line}\"")
    endif()
  endforeach()
endfunction()
