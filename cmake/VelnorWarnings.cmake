# Warnings as errors for the project's own targets only.
function(velnor_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wsign-conversion -Wswitch-enum -Werror)
  endif()
endfunction()

# Warnings as errors, but lenient on conversions (tests, tools, C code).
function(velnor_warnings_relaxed target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W3 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  endif()
endfunction()
