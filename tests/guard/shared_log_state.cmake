# Records (MODE=record) or compares (MODE=compare) the state of the user's
# shared log file LOG in STATE: absent, or its size and SHA-256. A test run
# must leave that file as it found it: every test has a temporary directory
# of its own.
#
# cmake -DMODE=record|compare -DLOG=... -DSTATE=... -P shared_log_state.cmake
foreach(var MODE LOG STATE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

if(EXISTS "${LOG}")
  file(SIZE "${LOG}" size)
  file(SHA256 "${LOG}" hash)
  set(now "present ${size} ${hash}")
else()
  set(now "absent")
endif()

if(MODE STREQUAL "record")
  file(WRITE "${STATE}" "${now}")
  message(STATUS "${LOG}: ${now}")
else()
  file(READ "${STATE}" before)
  if(NOT before STREQUAL now)
    message(FATAL_ERROR "a test wrote to the user's shared ${LOG}: it was ${before}, it is ${now}")
  endif()
  message(STATUS "${LOG} untouched: ${now}")
endif()
