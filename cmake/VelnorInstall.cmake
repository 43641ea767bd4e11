# What `cmake --install` lays out: the headers, the library and its watcher
# (on Windows Velnor.dll, VelnorWatch.dll and their import libraries), the
# virtual platform when the library runs on it, on Linux the recording build,
# a CMake package (find_package(Velnor), Velnor::velnor and
# Velnor::velnor_watch) and, on Linux, a pkg-config file. velnorctl
# installs itself from tools/.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(_velnor_install_targets velnor velnor_watch)
set(VELNOR_HAS_VIRTUAL_PLATFORM OFF)
if(VELNOR_BACKEND STREQUAL "virtual")
  set(VELNOR_HAS_VIRTUAL_PLATFORM ON)
  list(APPEND _velnor_install_targets velnor_sim)
  install(FILES ${PROJECT_SOURCE_DIR}/sim/include/velnor_sim.h
                ${PROJECT_SOURCE_DIR}/board/velnor_board_protocol.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endif()
if(NOT WIN32)
  # libvelnor.so finds libvelnor_sim.so next to itself.
  set_target_properties(velnor PROPERTIES INSTALL_RPATH "$ORIGIN")
  # The recording build, under the product's soname in a folder of its own,
  # <libdir>/velnor/trace: a program takes it with that folder at the head of
  # LD_LIBRARY_PATH (velnorctl record does so), and it finds libvelnor_sim.so
  # in <libdir>, two folders up; or beside itself, where a .NET application's
  # output has it in the product's place (dotnet/nuget/Velnor.Net.targets).
  set_target_properties(velnor_recording PROPERTIES INSTALL_RPATH "$ORIGIN:$ORIGIN/../..")
  install(TARGETS velnor_recording LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/velnor/trace
          NAMELINK_SKIP)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/include/velnor.h ${PROJECT_SOURCE_DIR}/include/velnor_watch.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS ${_velnor_install_targets} EXPORT VelnorTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(_velnor_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Velnor)
install(EXPORT VelnorTargets NAMESPACE Velnor:: DESTINATION ${_velnor_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VelnorConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VelnorConfig.cmake INSTALL_DESTINATION ${_velnor_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VelnorConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VelnorConfig.cmake ${PROJECT_BINARY_DIR}/VelnorConfigVersion.cmake
        DESTINATION ${_velnor_cmake_dir})

if(NOT WIN32)
  # The .pc file finds the prefix from its own place, so the tree can move.
  file(RELATIVE_PATH VELNOR_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" VELNOR_PC_TO_PREFIX "${VELNOR_PC_TO_PREFIX}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/velnor.pc.in ${PROJECT_BINARY_DIR}/velnor.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/velnor.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()
