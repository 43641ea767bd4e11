# The log under every kind of temporary-directory name: one child process per
# case, each started with its own temporary directory. Non-ASCII names under
# Wine need LANG=C.UTF-8 (ANSI code page 1252, OEM 437).
add_executable(log_directory_child log_directory_child.cpp)
target_compile_definitions(log_directory_child PRIVATE VELNOR_CHILD_READS_CONTEXT)
target_link_libraries(log_directory_child PRIVATE velnor_testable)
velnor_warnings_relaxed(log_directory_child)

velnor_add_test(log_directory_test SOURCES log_directory_test.cpp LABELS library
  TIMEOUT 30) # 0.2 s natively, 3.6 s under Wine
set_tests_properties(log_directory_test PROPERTIES ENVIRONMENT "LANG=C.UTF-8")
add_dependencies(log_directory_test log_directory_child)
if(WIN32)
  # The same child on the product DLL.
  add_executable(log_directory_child_dll log_directory_child.cpp)
  target_link_libraries(log_directory_child_dll PRIVATE velnor)
  velnor_warnings_relaxed(log_directory_child_dll)
  add_dependencies(log_directory_test log_directory_child_dll)
endif()
