# The Linux virtual platform replays a session recorded under Wine (the
# recording Velnor.dll against the board driver): the same session gives the
# same results, byte for byte, without leaving the trace; tshark decodes the
# trace with the Velnor dissector, every request of the session named.
#   cmake -DREPLAY=<trace_session_replay> -DTRACE=<pcapng> -DRESULTS=<recorded results>
#         -DWORK_DIR=<scratch> [-DTSHARK=<tshark> -DDISSECTOR=<velnor_trace.lua>]
#         -P trace_wine_replay_test.cmake
cmake_minimum_required(VERSION 3.25)

foreach(input TRACE RESULTS)
  if(NOT EXISTS "${${input}}")
    message(FATAL_ERROR "no ${input} file: ${${input}}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(replayed ${WORK_DIR}/replayed.txt)
execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${WORK_DIR} ${REPLAY} ${TRACE} ${replayed}
                RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the replay of ${TRACE} failed (${result}): ${errors}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${RESULTS} ${replayed}
                RESULT_VARIABLE different)
if(different)
  execute_process(COMMAND diff -u ${RESULTS} ${replayed} OUTPUT_VARIABLE diff)
  message(FATAL_ERROR "the replay's results differ from the recorded ones:\n${diff}")
endif()

if(NOT TSHARK)
  return()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/tshark_decode.cmake)
set(expected
  "Call: CM_Get_Device_Interface_List_SizeA (0)"
  "Call: CM_Get_Device_Interface_ListW (1)"
  "Call: CreateFileW (2)"
  "Call: CloseHandle (3)"
  "Call: GetLastError (5)"
  "Last error: 21"
  "Serial: VLN-E2E-0000"
  "LED: blinking (2)"
  "Frequency (Hz): 125000000"
  "Register address: 0x00000230"
  "Register value: 0x00000055"
  "Status: invalid_data (-9)"
  "Status: update_invalid_status (-8)")
foreach(request get_driver_version get_firmware_version update_start update_status update_write
                update_complete update_reset get_led set_led get_trigger_polarity
                set_trigger_polarity get_trigger_status set_trigger_status get_clock set_clock
                reg_write reg_read get_serial)
  list(APPEND expected "Request: ${request} (")
endforeach()
velnor_check_decode(${TRACE} ${expected})
