# The Windows SDK archive, Velnor-<version>-win64.zip, made by CPack from the
# MinGW build (scripts/package-windows.sh): the install rules of the library,
# the CMake package, velnorctl and velnor-panel, plus what only the archive carries — the
# MSVC-style import library, the simulation DLLs, the driver package, the HTML
# reference, the examples and SHA256SUMS. tests/sdk checks every part of it.
if(NOT (WIN32 AND TARGET velnor_simulation))
  return()
endif()

# The import library the build's own linker writes is GNU-style. The archive
# carries one made from the export list by an MSVC-compatible librarian, which
# link.exe, lld-link and the MinGW linker all accept, in its place.
find_program(VELNOR_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool)
if(NOT VELNOR_DLLTOOL)
  message(STATUS "llvm-dlltool not found: no Windows SDK archive (install llvm-14)")
  return()
endif()
# velnor_msvc_implib_from_def(<out var> <export list .def> <dll name>): the
# import library msvc/<name>.lib for <dll name>, made from its export list.
function(velnor_msvc_implib_from_def out_var def dll)
  get_filename_component(_name ${dll} NAME_WE)
  set(_lib ${PROJECT_BINARY_DIR}/msvc/${_name}.lib)
  add_custom_command(
    OUTPUT ${_lib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/msvc
    COMMAND ${VELNOR_DLLTOOL} -m i386:x86-64 -d ${def} -D ${dll} -l ${_lib}
    DEPENDS ${def}
    COMMENT "Making the MSVC-style import library ${_name}.lib"
    VERBATIM)
  set(${out_var} ${_lib} PARENT_SCOPE)
endfunction()
velnor_msvc_implib_from_def(VELNOR_MSVC_IMPLIB ${PROJECT_SOURCE_DIR}/src/Velnor.def Velnor.dll)
# The same for velnor_sim.dll, so tests can steer the simulation's boards
# through velnor_sim.h; its exports are read from the built DLL.
find_program(VELNOR_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)
set(VELNOR_MSVC_SIM_IMPLIB ${PROJECT_BINARY_DIR}/msvc/velnor_sim.lib)
add_custom_command(
  OUTPUT ${VELNOR_MSVC_SIM_IMPLIB}
  COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:velnor_sim> -DOBJDUMP=${VELNOR_OBJDUMP}
          -DOUTPUT=${PROJECT_BINARY_DIR}/msvc/velnor_sim.def
          -P ${PROJECT_SOURCE_DIR}/cmake/WriteDefFromDll.cmake
  COMMAND ${VELNOR_DLLTOOL} -m i386:x86-64 -d ${PROJECT_BINARY_DIR}/msvc/velnor_sim.def
          -D velnor_sim.dll -l ${VELNOR_MSVC_SIM_IMPLIB}
  DEPENDS velnor_sim ${PROJECT_SOURCE_DIR}/cmake/WriteDefFromDll.cmake
          ${PROJECT_SOURCE_DIR}/cmake/PeExports.cmake
  COMMENT "Making the MSVC-style import library velnor_sim.lib"
  VERBATIM)
# And for VelnorWatch.dll, from the watcher's export list.
velnor_msvc_implib_from_def(VELNOR_MSVC_WATCH_IMPLIB ${PROJECT_SOURCE_DIR}/watch/VelnorWatch.def
                            VelnorWatch.dll)
add_custom_target(velnor_msvc_implib ALL DEPENDS ${VELNOR_MSVC_IMPLIB} ${VELNOR_MSVC_SIM_IMPLIB}
                                                 ${VELNOR_MSVC_WATCH_IMPLIB})

# Installed after the library's own rules, so this Velnor.lib replaces the
# GNU-style one in lib/.
install(FILES ${VELNOR_MSVC_IMPLIB} ${VELNOR_MSVC_SIM_IMPLIB} ${VELNOR_MSVC_WATCH_IMPLIB}
        DESTINATION lib)

# As in the Linux install: the virtual platform's header and the board's
# protocol it refers to.
install(FILES ${PROJECT_SOURCE_DIR}/sim/include/velnor_sim.h
              ${PROJECT_SOURCE_DIR}/board/velnor_board_protocol.h
        DESTINATION include)
# The text files a Windows user opens from the archive (Notepad, the device
# installer, the registry editor) go in with CR LF line ends; the sources
# keep LF. velnor_install_crlf(<source> <destination> <name>) installs a
# CR LF copy, made at configure time, as <destination>/<name>.
function(velnor_install_crlf source destination name)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} _text)
  string(REPLACE "\r\n" "\n" _text "${_text}")
  string(REPLACE "\n" "\r\n" _text "${_text}")
  set(_copy ${PROJECT_BINARY_DIR}/crlf/${destination}/${name})
  file(WRITE ${_copy} "${_text}")
  install(FILES ${_copy} DESTINATION ${destination})
endfunction()

install(FILES $<TARGET_FILE:velnor_simulation> $<TARGET_FILE:velnor_sim>
              $<TARGET_FILE:velnor_watch_simulation> DESTINATION simulation)
velnor_install_crlf(${PROJECT_SOURCE_DIR}/packaging/windows/simulation-README.txt simulation
                    README.txt)

# The recording build a user drops in place of bin/Velnor.dll to capture a
# trace, the trace's layout, and the Wireshark dissector that reads it.
install(FILES $<TARGET_FILE:velnor_recording> DESTINATION trace)
install(FILES ${PROJECT_SOURCE_DIR}/sim/include/velnor_trace_format.h DESTINATION include)
install(FILES ${PROJECT_SOURCE_DIR}/tools/wireshark/velnor_trace.lua DESTINATION tools/wireshark)

if(TARGET velnor_board_driver)
  install(FILES ${PROJECT_BINARY_DIR}/driver/velnor_board.sys DESTINATION driver)
  velnor_install_crlf(${PROJECT_SOURCE_DIR}/driver/velnor_board.inf driver velnor_board.inf)
  velnor_install_crlf(${PROJECT_SOURCE_DIR}/driver/velnor_board.reg driver velnor_board.reg)
endif()

velnor_install_crlf(${PROJECT_SOURCE_DIR}/docs/usage.md docs usage.md)
velnor_install_crlf(${PROJECT_SOURCE_DIR}/docs/traces.md docs traces.md)
velnor_install_crlf(${PROJECT_SOURCE_DIR}/docs/panel.md docs panel.md)
file(GLOB _panel_pictures ${PROJECT_SOURCE_DIR}/docs/images/panel-*.png)
install(FILES ${_panel_pictures} DESTINATION docs/images)
install(FILES ${PROJECT_SOURCE_DIR}/examples/CMakeLists.txt
              ${PROJECT_SOURCE_DIR}/examples/list_and_clock.c
              ${PROJECT_SOURCE_DIR}/examples/versions_and_clock.cpp
        DESTINATION examples)
velnor_install_crlf(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt . README.txt)
# The .NET binding's two NuGet packages with their symbol packages, and its guide, when the
# .NET SDK made them (dotnet/nuget/VelnorNuget.cmake).
if(TARGET velnor_nuget)
  install(FILES ${VELNOR_NUPKGS} DESTINATION dotnet)
  velnor_install_crlf(${PROJECT_SOURCE_DIR}/docs/dotnet.md dotnet dotnet.md)
endif()

# CPack builds the preinstall target first; without this it would depend on
# "all" and build every test suite. scripts/package-windows.sh builds the
# targets the archive holds (VELNOR_SDK_TARGETS) instead.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(VELNOR_SDK_TARGETS velnor velnor_simulation velnor_recording velnor_sim velnor_watch
                       velnor_watch_simulation velnorctl velnor-panel velnor_msvc_implib)
foreach(_target velnor_board_driver velnor_api_reference velnor_nuget)
  if(TARGET ${_target})
    list(APPEND VELNOR_SDK_TARGETS ${_target})
  endif()
endforeach()
add_custom_target(velnor_sdk DEPENDS ${VELNOR_SDK_TARGETS})

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Velnor)
set(CPACK_PACKAGE_VENDOR "Velnor")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_FILE_NAME Velnor-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/WriteSha256Sums.cmake)
include(CPack)
