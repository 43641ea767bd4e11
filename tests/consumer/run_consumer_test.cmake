# Installs the build tree into a fresh prefix, then builds the consumer
# project against it twice: with find_package(Velnor), and (when pkg-config
# is there) by hand with the flags of velnor.pc. Both programs must run.
#
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=...
#       -DC_COMPILER=... -P run_consumer_test.cmake
foreach(var BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR C_COMPILER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
set(expected_files include/velnor.h lib/cmake/Velnor/VelnorConfig.cmake)
if(REFERENCE)
  # The API reference travels with the library.
  list(APPEND expected_files ${REFERENCE})
endif()
foreach(file IN LISTS expected_files)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "the install lacks ${file}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
if(NOT run_output MATCHES "consumer: library 1\\.0\\.2, 2 board\\(s\\)")
  message(FATAL_ERROR "unexpected output of the consumer: ${run_output}")
endif()
message(STATUS "find_package(Velnor): ${run_output}")

# The recording build installed in a folder of its own: the installed
# velnorctl finds it there and runs the consumer on it, whose calls then
# land in a trace.
file(GLOB recording ${prefix}/lib*/velnor/trace/libvelnor.so.1
                    ${prefix}/lib/*/velnor/trace/libvelnor.so.1)
if(NOT recording)
  message(FATAL_ERROR "the install lacks the recording build, <libdir>/velnor/trace/libvelnor.so.1")
endif()
# It finds the virtual platform the install put in <libdir> by itself.
file(GET_RUNTIME_DEPENDENCIES LIBRARIES ${recording} RESOLVED_DEPENDENCIES_VAR needed
     UNRESOLVED_DEPENDENCIES_VAR unresolved)
list(FILTER needed INCLUDE REGEX "/libvelnor_sim\\.so$")
get_filename_component(lib_dir ${recording} DIRECTORY)
get_filename_component(lib_dir ${lib_dir}/../.. REALPATH)
file(REAL_PATH "${needed}" needed)
if(NOT needed STREQUAL "${lib_dir}/libvelnor_sim.so")
  message(FATAL_ERROR "${recording} finds libvelnor_sim.so at '${needed}' (unresolved: ${unresolved})")
endif()
run(${prefix}/bin/velnorctl --log-dir ${WORK_DIR}/recorded record -- ${WORK_DIR}/build/consumer)
file(GLOB traces ${WORK_DIR}/recorded/Velnor-trace-*.pcapng)
list(LENGTH traces count)
if(NOT count EQUAL 1 OR NOT run_output MATCHES "Trace: ${WORK_DIR}/recorded/Velnor-trace-")
  message(FATAL_ERROR "velnorctl record left ${count} traces (${traces}) and said:\n${run_output}")
endif()
message(STATUS "velnorctl record: ${traces}")

find_program(PKG_CONFIG pkg-config)
file(GLOB pc_files ${prefix}/lib*/pkgconfig/velnor.pc ${prefix}/lib/*/pkgconfig/velnor.pc)
if(PKG_CONFIG AND pc_files)
  list(GET pc_files 0 pc_file)
  get_filename_component(pc_dir ${pc_file} DIRECTORY)
  get_filename_component(lib_dir ${pc_dir} DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  run(${PKG_CONFIG} --cflags --libs velnor)
  separate_arguments(flags UNIX_COMMAND "${run_output}")
  # The pkg-config build uses the library alone; the program then sees the
  # one board the virtual platform starts with.
  run(${C_COMPILER} ${SOURCE_DIR}/main.c -o ${WORK_DIR}/consumer_pc ${flags}
      -Wl,-rpath,${lib_dir})
  run(${WORK_DIR}/consumer_pc)
  if(NOT run_output MATCHES "consumer: library 1\\.0\\.2, [0-9]+ board\\(s\\)")
    message(FATAL_ERROR "unexpected output of the pkg-config consumer: ${run_output}")
  endif()
  message(STATUS "pkg-config velnor: ${run_output}")
endif()
