# Builds the archive's own examples/ folder with MinGW through
# find_package(Velnor) against the unpacked archive, with the simulation
# DLLs copied beside the programs, checks that they import no MinGW runtime
# DLL and runs both under Wine; then a test program that steers the virtual
# boards through Velnor::velnor_sim.
#
# cmake -DSDK=<unpacked archive> -DWORK_DIR=... -DTOOLCHAIN=... -DGENERATOR=... -DWINE=...
#       -DOBJDUMP=... -DSIM_CONSUMER=<sim_consumer folder> -P check_mingw_consumer.cmake
include(${CMAKE_CURRENT_LIST_DIR}/sdk_common.cmake)
require_vars(SDK WORK_DIR TOOLCHAIN GENERATOR WINE OBJDUMP SIM_CONSUMER)

file(REMOVE_RECURSE ${WORK_DIR})
# The cross toolchain confines package searches to the MinGW root, so here
# the package folder is named directly; a MinGW on Windows finds it through
# CMAKE_PREFIX_PATH=<unpacked folder> as the README says.
# The linker flags are emptied: the project's toolchain links every program
# with -static, a user's MinGW does not, and the examples must run either way.
run(${CMAKE_COMMAND} -S ${SDK}/examples -B ${WORK_DIR}/examples -G ${GENERATOR}
    -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXE_LINKER_FLAGS=
    -DVelnor_DIR=${SDK}/lib/cmake/Velnor -DVELNOR_EXAMPLES_SIMULATION=ON)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/examples)
# A Windows machine has no MinGW runtime DLL: the examples carry the runtime.
foreach(example list_and_clock versions_and_clock)
  run(${OBJDUMP} -p ${WORK_DIR}/examples/${example}.exe)
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${run_output}")
  if(imports MATCHES "libstdc|libgcc|libwinpthread")
    message(FATAL_ERROR "${example}.exe needs a MinGW runtime DLL: ${imports}")
  endif()
endforeach()
foreach(dll Velnor.dll velnor_sim.dll)
  file(SHA256 ${WORK_DIR}/examples/${dll} built)
  file(SHA256 ${SDK}/simulation/${dll} shipped)
  if(NOT built STREQUAL shipped)
    message(FATAL_ERROR "${dll} beside the examples is not the archive's simulation/${dll}")
  endif()
endforeach()

run(${WINE} ${WORK_DIR}/examples/list_and_clock.exe)
if(NOT run_output MATCHES "library 1\\.0\\.2, 1 board\\(s\\)\nboard 0: serial VLN-SIM-0000, driver 2\\.4\\.1, firmware 1\\.3\\.0\n.*clock 125000000 Hz: set.*clock 123456789 Hz: refused")
  message(FATAL_ERROR "unexpected output of list_and_clock:\n${run_output}")
endif()
run(${WINE} ${WORK_DIR}/examples/versions_and_clock.exe)
if(NOT run_output MATCHES "clock now 250000000 Hz.*800000000 Hz refused")
  message(FATAL_ERROR "unexpected output of versions_and_clock:\n${run_output}")
endif()
message(STATUS "examples built with find_package(Velnor) against ${SDK} ran on the simulation")

run(${CMAKE_COMMAND} -S ${SIM_CONSUMER} -B ${WORK_DIR}/sim_consumer -G ${GENERATOR}
    -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_BUILD_TYPE=Release
    -DVelnor_DIR=${SDK}/lib/cmake/Velnor)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/sim_consumer)
run(${WINE} ${WORK_DIR}/sim_consumer/sim_consumer.exe)
if(NOT run_output STREQUAL "sim consumer: 1 board, serial SDK-TEST-0042\n")
  message(FATAL_ERROR "unexpected output of the velnor_sim consumer:\n${run_output}")
endif()
message(STATUS "${run_output}")
