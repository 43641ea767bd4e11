# The user's shared log, <temporary directory>/Velnor.log, must come out of a
# test run as it went in: a setup test records it, a cleanup test compares,
# and every test of a directory that calls velnor_guard_shared_log() runs
# between the two. (Linux builds: the Windows runs have a Wine prefix of
# their own.)
if(DEFINED ENV{TMPDIR} AND NOT "$ENV{TMPDIR}" STREQUAL "")
  set(VELNOR_SHARED_LOG "$ENV{TMPDIR}/Velnor.log")
else()
  set(VELNOR_SHARED_LOG "/tmp/Velnor.log")
endif()

function(velnor_add_shared_log_guard)
  set(script ${PROJECT_SOURCE_DIR}/tests/guard/shared_log_state.cmake)
  set(state ${PROJECT_BINARY_DIR}/shared_log_state.txt)
  foreach(mode record compare)
    add_test(NAME shared_log_${mode} COMMAND ${CMAKE_COMMAND} -DMODE=${mode}
             -DLOG=${VELNOR_SHARED_LOG} -DSTATE=${state} -P ${script})
  endforeach()
  set_tests_properties(shared_log_record PROPERTIES FIXTURES_SETUP velnor_shared_log)
  set_tests_properties(shared_log_compare PROPERTIES FIXTURES_CLEANUP velnor_shared_log)
  include(VelnorTestTimeout)
  velnor_test_timeout(30 shared_log_record shared_log_compare) # 0.02 s each
endfunction()

# Puts every test of the calling directory between the record and the compare.
function(velnor_guard_shared_log)
  get_property(tests DIRECTORY PROPERTY TESTS)
  list(REMOVE_ITEM tests shared_log_record shared_log_compare)
  if(tests)
    set_tests_properties(${tests} PROPERTIES FIXTURES_REQUIRED velnor_shared_log)
  endif()
endfunction()
