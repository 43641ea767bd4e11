# The archive's bin/velnorctl.exe in a fresh folder, under Wine: beside the
# simulation DLLs it lists and shows the virtual board (list also asks the
# system's configuration manager for the interface paths itself, which Wine
# cannot answer: it warns and lists the boards the library finds without them);
# beside the product Velnor.dll it reaches Wine's configuration manager,
# which cannot list device interfaces, and must report that as a failed
# library call (exit code 1, the log line naming the call), not crash.
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
run_status(${WINE} ${WORK_DIR}/simulation/velnorctl.exe info)
expect_no_crash()
if(NOT run_status EQUAL 0 OR NOT run_output MATCHES
   "^board     0\nserial    VLN-SIM-0000\ndriver    2\\.4\\.1\nfirmware  1\\.3\\.0\nlibrary   1\\.0\\.2\n")
  message(FATAL_ERROR "velnorctl info on the simulation (exit ${run_status}):\n"
                      "${run_output}${run_error}")
endif()
message(STATUS "simulation:\n${run_output}")
run_status(${WINE} ${WORK_DIR}/simulation/velnorctl.exe list)
expect_no_crash()
if(NOT run_status EQUAL 0 OR NOT run_output MATCHES
   "^INDEX  SERIAL        FIRMWARE  DRIVER\n0      VLN-SIM-0000  1\\.3\\.0     2\\.4\\.1\n$"
   OR NOT run_error MATCHES "^velnorctl: warning: cannot list the boards' interface paths: ")
  message(FATAL_ERROR "velnorctl list on the simulation (exit ${run_status}):\n"
                      "${run_output}${run_error}")
endif()
message(STATUS "simulation, list:\n${run_output}${run_error}")

fresh_folder(${WORK_DIR}/product ${SDK}/bin/velnorctl.exe ${SDK}/bin/Velnor.dll)
# info goes through the library, which logs the configuration-manager call;
# list first asks the configuration manager for the interface paths itself.
set(expected_info "velnorctl: vl_device_open failed: failed \\(-5\\)\n[^\n]*Velnor\\.log: [^\n]*\\[vl_device_open\\] [^\n]*CM_Get_Device_Interface_List_Size\\([^\n]*failed with error failure")
set(expected_list "^velnorctl: warning: cannot list the boards' interface paths: CM_Get_Device_Interface_List_SizeA answered 0x13; listing the boards without them\nvelnorctl: vl_get_device_count failed: failed \\(-5\\)\n")
foreach(command info list)
  run_status(${WINE} ${WORK_DIR}/product/velnorctl.exe ${command})
  expect_no_crash()
  if(NOT run_status EQUAL 1 OR NOT run_output STREQUAL "" OR NOT run_error MATCHES "${expected_${command}}")
    message(FATAL_ERROR "velnorctl ${command} on the product DLL under Wine should fail with exit "
                        "code 1 and name the configuration-manager call (exit ${run_status}):\n"
                        "${run_output}${run_error}")
  endif()
  message(STATUS "product DLL under Wine, ${command} (exit ${run_status}):\n${run_error}")
endforeach()

# The archive's bin/velnor-panel.exe beside the product Velnor.dll alone: it
# starts with no MinGW runtime DLL anywhere (its runtime is linked in). The
# page on the driver's boards is driven under Wine by scripts/run-e2e-wine.sh.
fresh_folder(${WORK_DIR}/panel ${SDK}/bin/velnor-panel.exe ${SDK}/bin/Velnor.dll)
run_status(${WINE} ${WORK_DIR}/panel/velnor-panel.exe --version)
expect_no_crash()
if(NOT run_status EQUAL 0 OR NOT run_output STREQUAL "velnor-panel 1.0.2\n")
  message(FATAL_ERROR "velnor-panel --version beside the product DLL (exit ${run_status}):\n"
                      "${run_output}${run_error}")
endif()
