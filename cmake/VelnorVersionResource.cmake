# Gives the Windows binaries a VERSIONINFO resource made from the project's
# one version number, so Explorer, installers and support staff can tell which
# build (and which of the two Velnor.dll) they have.
#
#   velnor_version_resource(<target> DESCRIPTION <text> TYPE DLL|APP)
#
# The original file name is the target's output file name.
function(velnor_version_resource target)
  cmake_parse_arguments(R "" "DESCRIPTION;TYPE" "" ${ARGN})
  if(NOT WIN32 OR NOT TARGET ${target})
    return()
  endif()
  if(R_TYPE STREQUAL "DLL")
    set(VELNOR_RC_FILE_TYPE VFT_DLL)
    set(_suffix ${CMAKE_SHARED_LIBRARY_SUFFIX})
  elseif(R_TYPE STREQUAL "APP")
    set(VELNOR_RC_FILE_TYPE VFT_APP)
    set(_suffix ${CMAKE_EXECUTABLE_SUFFIX})
  else()
    message(FATAL_ERROR "velnor_version_resource: TYPE must be DLL or APP, not '${R_TYPE}'")
  endif()
  get_target_property(_name ${target} OUTPUT_NAME)
  if(NOT _name)
    set(_name ${target})
  endif()
  get_target_property(_prefix ${target} PREFIX)
  if(NOT _prefix)
    set(_prefix "")
  endif()
  set(VELNOR_RC_INTERNAL_NAME ${_name})
  set(VELNOR_RC_ORIGINAL_FILENAME ${_prefix}${_name}${_suffix})
  set(VELNOR_RC_DESCRIPTION ${R_DESCRIPTION})
  # FILEVERSION wants four numbers; the fourth (build) is always 0.
  set(VELNOR_RC_VERSION_NUMBERS
      "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(_rc ${PROJECT_BINARY_DIR}/version_resources/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/velnor_version.rc.in ${_rc} @ONLY)
  target_sources(${target} PRIVATE ${_rc})
endfunction()

set(_velnor_simulation_description
    "Velnor device-access library, simulation build on virtual boards")
if(VELNOR_BACKEND STREQUAL "virtual")
  velnor_version_resource(velnor TYPE DLL DESCRIPTION ${_velnor_simulation_description})
else()
  velnor_version_resource(velnor TYPE DLL DESCRIPTION "Velnor device-access library")
endif()
velnor_version_resource(velnor_simulation TYPE DLL DESCRIPTION ${_velnor_simulation_description})
velnor_version_resource(velnor_recording TYPE DLL
                        DESCRIPTION "Velnor device-access library, recording build (writes a trace)")
velnor_version_resource(velnor_sim TYPE DLL DESCRIPTION "Velnor virtual platform")
velnor_version_resource(velnor_watch TYPE DLL DESCRIPTION "Velnor board watcher: boards arriving and leaving")
velnor_version_resource(velnor_watch_simulation TYPE DLL
                        DESCRIPTION "Velnor board watcher, simulation build on virtual boards")
velnor_version_resource(velnorctl TYPE APP DESCRIPTION "Velnor board bring-up and service tool")
velnor_version_resource(velnor-panel TYPE APP DESCRIPTION "Velnor test panel: the boards in a browser")
