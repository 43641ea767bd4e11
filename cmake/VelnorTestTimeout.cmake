# How long a test may run before ctest stops it: a few times its measured
# time on a native debug build, scaled by a per-build factor, so that a test
# that hangs under a broken build fails in a minute or two instead of after
# ten. Under Wine every process start costs about 3 s and every file or
# device call a trip through wineserver (measured: a suite of 0.5 s natively
# takes 3.5 s); sanitizers slow every run too. A cache value
# (VELNOR_TEST_TIME_FACTOR) overrides the factor.
#
#   velnor_test_timeout(<seconds> <test>...)
#
# Including this file sets velnor_time_factor in the including scope.
if(VELNOR_TEST_TIME_FACTOR)
  set(velnor_time_factor ${VELNOR_TEST_TIME_FACTOR})
elseif(CMAKE_CXX_FLAGS MATCHES "-fsanitize=thread")
  set(velnor_time_factor 10)
elseif(CMAKE_CROSSCOMPILING_EMULATOR OR CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  set(velnor_time_factor 4)
else()
  set(velnor_time_factor 1)
endif()

function(velnor_test_timeout seconds)
  math(EXPR timeout "${seconds} * ${velnor_time_factor}")
  set_tests_properties(${ARGN} PROPERTIES TIMEOUT ${timeout})
endfunction()
