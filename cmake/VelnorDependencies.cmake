# spdlog and fmt come from Debian's libspdlog-dev / libfmt-dev and are used
# header-only on both hosts, so the DLL carries them and imports nothing.
add_library(velnor_logdeps INTERFACE)
if(CMAKE_CROSSCOMPILING AND WIN32)
  # The host's headers are shared with the cross build through a private
  # include folder that holds only these two libraries.
  set(_deps ${CMAKE_BINARY_DIR}/deps/include)
  file(MAKE_DIRECTORY ${_deps})
  foreach(lib spdlog fmt)
    if(NOT EXISTS ${_deps}/${lib})
      file(CREATE_LINK /usr/include/${lib} ${_deps}/${lib} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(velnor_logdeps SYSTEM INTERFACE ${_deps})
  target_compile_definitions(velnor_logdeps INTERFACE FMT_HEADER_ONLY SPDLOG_FMT_EXTERNAL)
else()
  find_package(fmt REQUIRED)
  find_package(spdlog REQUIRED)
  target_link_libraries(velnor_logdeps INTERFACE spdlog::spdlog_header_only fmt::fmt-header-only)
endif()
if(WIN32)
  # The log file is opened by its wide name: the narrow one goes through a
  # code page that may not hold the user's temporary directory.
  target_compile_definitions(velnor_logdeps INTERFACE SPDLOG_WCHAR_FILENAMES)
endif()

if(VELNOR_BUILD_TESTS OR VELNOR_BUILD_BENCH)
  if(CMAKE_CROSSCOMPILING)
    # Debian's googletest package ships the sources; they build the Windows tests.
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
