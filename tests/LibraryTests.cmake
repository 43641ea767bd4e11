# The library's suites: linked statically with the virtual backend, so they
# reach the internals and steer the virtual platform.
add_library(velnor_test_support STATIC support/test_env.cpp support/test_main.cpp
                                       support/firmware_image.cpp)
target_include_directories(velnor_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(velnor_test_support PUBLIC velnor_testable GTest::gtest)

function(velnor_library_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE velnor_test_support velnor_testable GTest::gtest)
  velnor_warnings_relaxed(${name})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS "library")
endfunction()

velnor_library_test(library_test
  error_model_test.cpp logger_test.cpp discovery_test.cpp handles_test.cpp transport_test.cpp
  properties_test.cpp clock_test.cpp update_test.cpp)
velnor_library_test(concurrency_test concurrency_test.cpp)
set_tests_properties(concurrency_test PROPERTIES LABELS "library;concurrency")
velnor_library_test(allocation_test allocation_test.cpp)

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

# The public header compiles as C, against the shipped library.
add_executable(c_header_test c_header_test.c)
target_link_libraries(c_header_test PRIVATE velnor)
set_target_properties(c_header_test PROPERTIES C_STANDARD 11)
velnor_warnings_relaxed(c_header_test)
add_test(NAME c_header_test COMMAND c_header_test)
