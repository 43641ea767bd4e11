# The archive's bin/velnorctl.exe in a fresh folder, under Wine: beside the
# simulation DLLs it lists the virtual board; beside the product Velnor.dll
# it reaches Wine's configuration manager, which cannot list device
# interfaces, and must report that as a failed library call (exit code 1),
# not crash.
#
# cmake -DSDK=<unpacked archive> -DWORK_DIR=... -DWINE=... -P check_drop_in.cmake
include(${CMAKE_CURRENT_LIST_DIR}/sdk_common.cmake)
require_vars(SDK WORK_DIR WINE)

function(expect_no_crash)
  if("${run_output}${run_error}" MATCHES "Unhandled exception|unimplemented function|terminate called")
    message(FATAL_ERROR "velnorctl crashed:\n${run_output}${run_error}")
  endif()
endfunction()

fresh_folder(${WORK_DIR}/simulation ${SDK}/bin/velnorctl.exe ${SDK}/simulation/Velnor.dll
             ${SDK}/simulation/velnor_sim.dll)
run_status(${WINE} ${WORK_DIR}/simulation/velnorctl.exe list)
expect_no_crash()
if(NOT run_status EQUAL 0 OR NOT run_output MATCHES "\n0 +VLN-SIM-0000 +1\\.3\\.0 +2\\.4\\.1")
  message(FATAL_ERROR "velnorctl list on the simulation (exit ${run_status}):\n"
                      "${run_output}${run_error}")
endif()
message(STATUS "simulation:\n${run_output}")

fresh_folder(${WORK_DIR}/product ${SDK}/bin/velnorctl.exe ${SDK}/bin/Velnor.dll)
run_status(${WINE} ${WORK_DIR}/product/velnorctl.exe list)
expect_no_crash()
set(expected_error "velnorctl: vl_get_device_count failed: failed \\(-5\\)\n")
if(NOT run_status EQUAL 1 OR NOT run_error MATCHES "${expected_error}"
   OR NOT run_error MATCHES "\\[vl_get_device_count\\] [^\n]*CM_Get_Device_Interface_List_Size\\([^\n]*failed with error failure")
  message(FATAL_ERROR "velnorctl list on the product DLL under Wine should fail with exit code 1 "
                      "and name the configuration-manager call (exit ${run_status}):\n"
                      "${run_output}${run_error}")
endif()
message(STATUS "product DLL under Wine (exit ${run_status}):\n${run_error}")
