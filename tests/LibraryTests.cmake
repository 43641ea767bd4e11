# The library's suites: linked statically with the virtual backend, so they
# reach the internals and steer the virtual platform.
velnor_add_test(library_test LIBRARY SOURCES
  error_model_test.cpp logger_test.cpp discovery_test.cpp handles_test.cpp transport_test.cpp
  properties_test.cpp clock_test.cpp update_test.cpp protocol_table_test.cpp
  driver_bytes_test.cpp
  LIBS velnor_board_protocol TIMEOUT 30) # 0.6 s natively, 3.5 s under Wine
velnor_add_test(concurrency_test LIBRARY SOURCES concurrency_test.cpp LABELS concurrency
  TIMEOUT 30) # 3 s
velnor_add_test(allocation_test LIBRARY SOURCES allocation_test.cpp LIBS velnor_test_counting_new
  TIMEOUT 30) # 0.1 s

# The first use of the frequency table, in a process of its own.
velnor_add_test(frequency_first_use_test SOURCES frequency_table_first_use_test.cpp
  LIBS velnor_testable LABELS library concurrency TIMEOUT 30) # 0.01 s

# The table's first use in forked children, one fresh process per case.
if(NOT WIN32)
  velnor_add_test(frequency_fresh_process_test LIBRARY
    SOURCES frequency_table_fresh_process_test.cpp LIBS velnor_test_counting_new
    LABELS concurrency TIMEOUT 30) # 4 s
endif()

# Second processes for the log tests.
add_executable(log_once support/log_once.cpp)
target_link_libraries(log_once PRIVATE velnor_testable)
if(NOT CMAKE_CROSSCOMPILING)
  target_compile_definitions(library_test PRIVATE
    VELNOR_LOG_ONCE_PROGRAM="$<TARGET_FILE:log_once>")
endif()
velnor_add_test(log_without_temp_dir PLAIN SOURCES support/log_without_temp_dir.cpp
  LIBS velnor_test_plain velnor_testable LABELS library concurrency TIMEOUT 30) # 0.01 s

# The public header compiles as C. On Linux it links the shipped library; on
# Windows the shipped DLL talks to real boards, so the virtual one is linked.
if(WIN32)
  velnor_add_test(c_header_test PLAIN SOURCES c_header_test.c LIBS velnor_testable TIMEOUT 30)
  set_target_properties(c_header_test PROPERTIES LINKER_LANGUAGE CXX)
else()
  velnor_add_test(c_header_test PLAIN SOURCES c_header_test.c LIBS velnor TIMEOUT 30) # 0.01 s
endif()
set_target_properties(c_header_test PROPERTIES C_STANDARD 11)
# Its failing calls log: into a folder of the run's own.
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/c_header_tmp)
set_tests_properties(c_header_test PROPERTIES
  ENVIRONMENT "TMPDIR=${CMAKE_CURRENT_BINARY_DIR}/c_header_tmp")

# On Windows: the product DLL itself, on the real system calls.
if(WIN32 AND TARGET velnor_simulation)
  velnor_add_test(win32_smoke_test MAIN SOURCES win32_smoke_test.cpp LIBS velnor velnor_logdeps
    TIMEOUT 30) # 3.5 s under Wine
  velnor_add_test(watch_win32_test MAIN SOURCES watch_win32_test.cpp
    LIBS velnor_watch velnor velnor_test_plain
    TIMEOUT 30) # 3 s under Wine

  # Loading and unloading the simulation DLL, copied beside the tests under
  # a name of its own; it finds velnor_sim.dll there too.
  add_executable(export_during_exit support/export_during_exit.cpp)
  target_include_directories(export_during_exit PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
                                                        ${PROJECT_SOURCE_DIR}/include)
  velnor_warnings_relaxed(export_during_exit)
  velnor_add_test(dll_lifecycle_test MAIN SOURCES dll_lifecycle_test.cpp
    LIBS velnor_test_windows velnor_logdeps LABELS library TIMEOUT 60) # loads the DLL 200 times
  add_dependencies(dll_lifecycle_test export_during_exit velnor_simulation velnor_sim)
  add_custom_command(TARGET dll_lifecycle_test POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:velnor_simulation>
            $<TARGET_FILE_DIR:dll_lifecycle_test>/VelnorSim.dll)
endif()

# The shipped library exports exactly the 22 functions.
if(WIN32)
  find_program(VELNOR_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)
  add_test(NAME export_table COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:velnor>
           -DDEF=${PROJECT_SOURCE_DIR}/src/Velnor.def -DTOOL=${VELNOR_OBJDUMP} -DWINDOWS=ON
           -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake)
else()
  find_program(VELNOR_NM NAMES nm REQUIRED)
  add_test(NAME export_table COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:velnor>
           -DDEF=${PROJECT_SOURCE_DIR}/src/Velnor.def -DTOOL=${VELNOR_NM}
           -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake)
endif()
set_tests_properties(export_table PROPERTIES TIMEOUT 30) # 0.1 s
# The watcher exports its two functions and nothing else.
if(WIN32)
  add_test(NAME watch_export_table COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:velnor_watch>
           -DDEF=${PROJECT_SOURCE_DIR}/watch/VelnorWatch.def -DCOUNT=2 -DTOOL=${VELNOR_OBJDUMP}
           -DWINDOWS=ON -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake)
else()
  add_test(NAME watch_export_table COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:velnor_watch>
           -DDEF=${PROJECT_SOURCE_DIR}/watch/VelnorWatch.def -DCOUNT=2 -DTOOL=${VELNOR_NM}
           -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake)
endif()
set_tests_properties(watch_export_table PROPERTIES TIMEOUT 30) # 0.1 s

# Every export against each platform failure, each failing allocation and an
# unusable log file.
velnor_add_test(fault_injection_test LIBRARY SOURCES fault_injection_test.cpp
  log_file_faults_test.cpp TIMEOUT 30) # 2 s natively, 6 s under Wine
velnor_add_test(fault_alloc_test LIBRARY SOURCES fault_alloc_test.cpp
  LIBS velnor_test_counting_new TIMEOUT 30) # 1.6 s
add_executable(fail_under_temp_dir support/fail_under_temp_dir.cpp)
target_link_libraries(fail_under_temp_dir PRIVATE velnor_testable)
velnor_warnings_relaxed(fail_under_temp_dir)
if(NOT CMAKE_CROSSCOMPILING)
  target_compile_definitions(fault_injection_test PRIVATE
    VELNOR_FAIL_UNDER_TEMP_DIR_PROGRAM="$<TARGET_FILE:fail_under_temp_dir>")
  add_dependencies(fault_injection_test fail_under_temp_dir)
endif()
velnor_add_test(frequency_oracle_test LIBRARY SOURCES frequency_oracle_test.cpp TIMEOUT 60) # 10 s
