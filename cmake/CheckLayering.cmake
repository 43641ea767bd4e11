# Fails when a file under SOURCE_DIR (the library's src/) includes a header
# from a room its own room may not depend on. Rooms run one way: the api
# room on the operations, the operations on the device room, everything on
# the error room and the OS seam. A room not in the table fails too, so a
# new folder has to say where it sits.
#   cmake -DSOURCE_DIR=<src> -P CheckLayering.cmake
cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<src> -P CheckLayering.cmake")
endif()
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

# What each room may include besides itself.
set(allowed_api log clock update device properties error platform)
set(allowed_clock device error platform)
set(allowed_update device error platform)
set(allowed_properties device error platform)
set(allowed_device error platform)
set(allowed_log platform)
set(allowed_error platform)
set(allowed_platform "")
set(rooms api clock update properties device log error platform)

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp
     ${SOURCE_DIR}/*.c)
list(SORT files)
if(NOT files)
  message(FATAL_ERROR "no C or C++ file under ${SOURCE_DIR}")
endif()
set(faults "")
foreach(file IN LISTS files)
  string(REGEX MATCH "^[^/]+" room "${file}")
  if(room STREQUAL file)
    list(APPEND faults "${file}: lies outside every room")
    continue()
  endif()
  if(NOT room IN_LIST rooms)
    list(APPEND faults "${file}: room '${room}' is not in the layering table")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" header "${line}")
    if(NOT header MATCHES "/")
      continue()
    endif()
    string(REGEX MATCH "^[^/]+" target "${header}")
    if(target STREQUAL room OR target IN_LIST allowed_${room})
      continue()
    endif()
    if(target IN_LIST rooms)
      list(APPEND faults "${file}: ${room} may not include ${header}")
    endif()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Includes against the direction of the layers:\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "layering: ${count} files, every include points down")
