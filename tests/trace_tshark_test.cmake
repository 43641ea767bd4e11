# Records a velnorctl session through the recording build and decodes the
# trace with tshark and the Velnor dissector: every request, status word and
# field the session used must be named.
#   cmake -DVELNORCTL=<velnorctl> -DTRACE_LIB_DIR=<lib/trace> -DTSHARK=<tshark>
#         -DDISSECTOR=<velnor_trace.lua> -DWORK_DIR=<scratch> -P trace_tshark_test.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(WRITE ${WORK_DIR}/session.txt
  "led blink\nclock 125MHz\nreg write 0x230 0x55\nreg read 0x230\nled 7\ninfo\n")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${WORK_DIR} LD_LIBRARY_PATH=${TRACE_LIB_DIR}
          ${VELNORCTL} shell
  INPUT_FILE ${WORK_DIR}/session.txt OUTPUT_QUIET ERROR_QUIET)
include(${CMAKE_CURRENT_LIST_DIR}/tshark_decode.cmake)
file(GLOB_RECURSE traces ${WORK_DIR}/*/Velnor-trace-*.pcapng)
list(LENGTH traces count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one trace under ${WORK_DIR}, found ${count}: ${traces}")
endif()

execute_process(COMMAND ${TSHARK} -X lua_script:${DISSECTOR} -r ${traces}
                OUTPUT_VARIABLE summary ERROR_QUIET)

set(expected
  "Call: CM_Get_Device_Interface_List_SizeA (0)"
  "Interface class: 2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5"
  "Path: \\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}"
  "Request: set_led (8)"
  "LED: blinking (2)"
  "Request: set_clock (14)"
  "Clock mode: internal (0)"
  "Frequency (Hz): 125000000"
  "Request: reg_write (15)"
  "Register address: 0x00000230"
  "Register value: 0x00000055"
  "Request: reg_read (16)"
  "Status: invalid_data (-9)"
  "Request: get_serial (17)"
  "Serial: VLN-SIM-0000"
  "Major: 2"
  "Trigger status: disarmed (0)"
  "Call: CloseHandle (3)")
velnor_check_decode(${traces} ${expected})
foreach(line "DeviceIoControl set_led -> invalid_data" "DeviceIoControl get_clock -> success")
  string(FIND "${summary}" "${line}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "the summary lacks \"${line}\"")
  endif()
endforeach()
