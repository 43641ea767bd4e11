# Runs CheckLayering.cmake on small made-up trees and checks that it passes
# the ones whose includes point down and names every include that points up.
#   cmake -DCHECK=<CheckLayering.cmake> -DWORK_DIR=<scratch> -P layering_check_test.cmake
cmake_minimum_required(VERSION 3.25)

set(failures 0)

# case <name> <expected: pass | the exact fault line | "no C or C++ file"> <file=include;...>...
function(layering_case name expected)
  set(tree ${WORK_DIR}/${name})
  file(REMOVE_RECURSE ${tree})
  file(MAKE_DIRECTORY ${tree})
  foreach(entry IN LISTS ARGN)
    string(REGEX MATCH "^[^=]+" file "${entry}")
    set(header "")
    if(entry MATCHES "=(.+)$")
      set(header "${CMAKE_MATCH_1}")
    endif()
    if(header STREQUAL "")
      file(WRITE ${tree}/${file} "int x;\n")
    else()
      file(WRITE ${tree}/${file} "#include \"${header}\"\n#include <fmt/format.h>\n")
    endif()
  endforeach()
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(ok FALSE)
  if(expected STREQUAL "pass")
    if(result EQUAL 0)
      set(ok TRUE)
    endif()
  elseif(NOT result EQUAL 0)
    string(FIND "${out}${err}" "${expected}" at)
    if(at GREATER -1)
      set(ok TRUE)
    endif()
  endif()
  if(NOT ok)
    message(SEND_ERROR "case ${name}: expected '${expected}', got ${result}:\n${out}${err}")
  endif()
endfunction()

layering_case(downward pass
  api/a.cpp=device/handles.h api/b.cpp=properties/p.h clock/c.cpp=device/transport.h
  update/u.cpp=error/e.h properties/p.cpp=platform/os.h device/d.cpp=error/e.h
  error/e.cpp=platform/os.h log/l.cpp=log/l.h platform/o.cpp=platform/w.h)
layering_case(device_on_api "device/d.cpp: device may not include api/frame.h"
  device/d.cpp=api/frame.h)
layering_case(error_on_device "error/e.h: error may not include device/device.h"
  error/e.h=device/device.h)
layering_case(log_on_error "log/l.cpp: log may not include error/error_category.h"
  log/l.cpp=error/error_category.h)
layering_case(clock_on_update "clock/c.cpp: clock may not include update/update.h"
  clock/c.cpp=update/update.h)
layering_case(platform_on_device "platform/o.cpp: platform may not include device/device.h"
  platform/o.cpp=device/device.h)
layering_case(unknown_room "room 'extra' is not in the layering table" extra/x.cpp=api/frame.h)
layering_case(outside_rooms "top.cpp: lies outside every room" top.cpp=api/frame.h)
layering_case(empty_tree "no C or C++ file")
