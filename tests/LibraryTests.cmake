# The library's suites: linked statically with the virtual backend, so they
# reach the internals and steer the virtual platform.
add_library(velnor_test_support STATIC support/test_env.cpp support/test_main.cpp)
target_include_directories(velnor_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(velnor_test_support PUBLIC velnor_testable velnor_test_image GTest::gtest)

function(velnor_library_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE velnor_test_support velnor_testable GTest::gtest)
  velnor_warnings_relaxed(${name})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS "library")
endfunction()

velnor_library_test(library_test
  error_model_test.cpp logger_test.cpp discovery_test.cpp handles_test.cpp transport_test.cpp
  properties_test.cpp clock_test.cpp update_test.cpp protocol_table_test.cpp)
target_link_libraries(library_test PRIVATE velnor_board_protocol)
velnor_library_test(concurrency_test concurrency_test.cpp)
set_tests_properties(concurrency_test PROPERTIES LABELS "library;concurrency")
velnor_library_test(allocation_test allocation_test.cpp support/counting_new.cpp)

# The first use of the frequency table, in a process of its own.
add_executable(frequency_first_use_test frequency_table_first_use_test.cpp)
target_link_libraries(frequency_first_use_test PRIVATE velnor_testable GTest::gtest_main)
add_test(NAME frequency_first_use_test COMMAND frequency_first_use_test)
set_tests_properties(frequency_first_use_test PROPERTIES LABELS "library;concurrency")

# Second processes for the log tests.
add_executable(log_once support/log_once.cpp)
target_link_libraries(log_once PRIVATE velnor_testable)
if(NOT CMAKE_CROSSCOMPILING)
  target_compile_definitions(library_test PRIVATE
    VELNOR_LOG_ONCE_PROGRAM="$<TARGET_FILE:log_once>")
endif()
add_executable(log_without_temp_dir support/log_without_temp_dir.cpp support/test_env.cpp)
target_include_directories(log_without_temp_dir PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(log_without_temp_dir PRIVATE velnor_testable)
add_test(NAME log_without_temp_dir COMMAND log_without_temp_dir)
set_tests_properties(log_without_temp_dir PROPERTIES LABELS "library;concurrency")

# The public header compiles as C. On Linux it links the shipped library; on
# Windows the shipped DLL talks to real boards, so the virtual one is linked.
add_executable(c_header_test c_header_test.c)
if(WIN32)
  target_link_libraries(c_header_test PRIVATE velnor_testable)
  set_target_properties(c_header_test PROPERTIES LINKER_LANGUAGE CXX)
else()
  target_link_libraries(c_header_test PRIVATE velnor)
endif()
set_target_properties(c_header_test PROPERTIES C_STANDARD 11)
velnor_warnings_relaxed(c_header_test)
add_test(NAME c_header_test COMMAND c_header_test)

# On Windows: the product DLL itself, on the real system calls.
if(WIN32 AND TARGET velnor_simulation)
  add_executable(win32_smoke_test win32_smoke_test.cpp support/test_env.cpp support/test_main.cpp)
  target_include_directories(win32_smoke_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(win32_smoke_test PRIVATE velnor velnor_logdeps GTest::gtest)
  velnor_warnings_relaxed(win32_smoke_test)
  add_test(NAME win32_smoke_test COMMAND win32_smoke_test --gtest_brief=1)

  # Loading and unloading the simulation DLL, copied beside the tests under
  # a name of its own; it finds velnor_sim.dll there too.
  add_executable(export_during_exit support/export_during_exit.cpp)
  target_include_directories(export_during_exit PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
                                                        ${PROJECT_SOURCE_DIR}/include)
  velnor_warnings_relaxed(export_during_exit)
  add_executable(dll_lifecycle_test dll_lifecycle_test.cpp support/test_env.cpp
                                    support/test_main.cpp)
  target_include_directories(dll_lifecycle_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
                                                        ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(dll_lifecycle_test PRIVATE velnor_logdeps GTest::gtest)
  velnor_warnings_relaxed(dll_lifecycle_test)
  add_dependencies(dll_lifecycle_test export_during_exit velnor_simulation velnor_sim)
  add_custom_command(TARGET dll_lifecycle_test POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:velnor_simulation>
            $<TARGET_FILE_DIR:dll_lifecycle_test>/VelnorSim.dll)
  add_test(NAME dll_lifecycle_test COMMAND dll_lifecycle_test --gtest_brief=1)
  set_tests_properties(dll_lifecycle_test PROPERTIES TIMEOUT 600 LABELS "library")
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

# Every export against each platform failure, each failing allocation and an
# unusable log file.
velnor_library_test(fault_injection_test fault_injection_test.cpp log_file_faults_test.cpp
  support/export_cases.cpp)
velnor_library_test(fault_alloc_test fault_alloc_test.cpp support/export_cases.cpp
  support/counting_new.cpp)
add_executable(fail_under_temp_dir support/fail_under_temp_dir.cpp)
target_link_libraries(fail_under_temp_dir PRIVATE velnor_testable)
velnor_warnings_relaxed(fail_under_temp_dir)
if(NOT CMAKE_CROSSCOMPILING)
  target_compile_definitions(fault_injection_test PRIVATE
    VELNOR_FAIL_UNDER_TEMP_DIR_PROGRAM="$<TARGET_FILE:fail_under_temp_dir>")
  add_dependencies(fault_injection_test fail_under_temp_dir)
endif()
velnor_library_test(frequency_oracle_test frequency_oracle_test.cpp)

# GCC takes the replaced operator new/delete pair for a mismatch.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(allocation_test PRIVATE -Wno-mismatched-new-delete)
  target_compile_options(fault_alloc_test PRIVATE -Wno-mismatched-new-delete)
endif()
