# The two NuGet packages, packed by dotnet in the Windows build, with their symbols
# (.snupkg), into the build tree's dotnet/packages/:
#   Velnor.Net.<version>.nupkg             the binding (netstandard2.0, net8.0) and the
#                                          product Velnor.dll and VelnorWatch.dll (win-x64),
#                                          and the recording Velnor.dll
#   Velnor.Net.Simulation.<version>.nupkg  the Simulation class (net8.0) and the
#                                          virtual-platform libraries for linux-x64 and win-x64,
#                                          and the recording libvelnor.so.1 (linux-x64)
# The Linux libraries come from a release build of this same source tree with the host's
# compiler (linux-natives/, only the four libraries), linked with their install RUNPATH:
# libvelnor.so.1 and libvelnor_watch.so.1 find libvelnor_sim.so beside themselves
# (exactly $ORIGIN), the recording build first there too. (A build RUNPATH would be padded
# with an empty entry, which the loader takes for the current directory.) The SDK archive
# carries the packages under dotnet/.
include(ExternalProject)

set(VELNOR_LINUX_NATIVES_DIR ${CMAKE_BINARY_DIR}/linux-natives)
set(_linux_lib ${VELNOR_LINUX_NATIVES_DIR}/lib)
set(_linux_built ${_linux_lib}/libvelnor.so.${PROJECT_VERSION} ${_linux_lib}/libvelnor_sim.so
                 ${_linux_lib}/libvelnor_watch.so.${PROJECT_VERSION}
                 ${_linux_lib}/trace/libvelnor.so.${PROJECT_VERSION})
# The cache arguments go in an initial cache file, past any shell. BUILD_ALWAYS: the inner
# build decides what changed in the sources (a no-op takes a fraction of a second).
ExternalProject_Add(velnor_linux_natives
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${VELNOR_LINUX_NATIVES_DIR}
  PREFIX ${CMAKE_BINARY_DIR}/linux-natives-prefix
  CMAKE_CACHE_ARGS -DCMAKE_BUILD_TYPE:STRING=Release -DVELNOR_BUILD_TESTS:BOOL=OFF
                   -DVELNOR_BUILD_TOOLS:BOOL=OFF -DVELNOR_BUILD_BENCH:BOOL=OFF
                   -DVELNOR_BUILD_DRIVER:BOOL=OFF -DVELNOR_BUILD_FUZZERS:BOOL=OFF
                   -DCMAKE_BUILD_WITH_INSTALL_RPATH:BOOL=ON
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target velnor velnor_sim velnor_watch
                                                        velnor_recording
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${_linux_built})

# Each package's native libraries under the names it ships them by, in the folders the
# projects' VelnorNative items name (dotnet/nuget/Velnor.Packaging.targets).
set(_natives ${VELNOR_DOTNET_DIR}/natives)
set(_product ${_natives}/Velnor.Net/win-x64)
set(_sim_win ${_natives}/Velnor.Net.Simulation/win-x64)
set(_sim_linux ${_natives}/Velnor.Net.Simulation/linux-x64)
set(_packages ${VELNOR_DOTNET_DIR}/packages)
set(VELNOR_NUPKGS ${_packages}/Velnor.Net.${PROJECT_VERSION}.nupkg
                  ${_packages}/Velnor.Net.${PROJECT_VERSION}.snupkg
                  ${_packages}/Velnor.Net.Simulation.${PROJECT_VERSION}.nupkg
                  ${_packages}/Velnor.Net.Simulation.${PROJECT_VERSION}.snupkg)
set(_copy ${CMAKE_COMMAND} -E copy)
# One dotnet pack of both projects (one restore, one build of each). ContinuousIntegrationBuild:
# the PDBs name the sources by their place in the repository, not on this machine, so the
# same commit packs the same bytes anywhere.
add_custom_command(
  OUTPUT ${VELNOR_NUPKGS}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_natives} ${_packages}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_product}/recording ${_sim_win}
                                             ${_sim_linux}/recording
  COMMAND ${_copy} $<TARGET_FILE:velnor> $<TARGET_FILE:velnor_watch> ${_product}
  COMMAND ${_copy} $<TARGET_FILE:velnor_recording> ${_product}/recording
  COMMAND ${_copy} $<TARGET_FILE:velnor_simulation> ${_sim_win}/VelnorSimulation.dll
  COMMAND ${_copy} $<TARGET_FILE:velnor_watch_simulation> ${_sim_win}/VelnorWatchSimulation.dll
  COMMAND ${_copy} $<TARGET_FILE:velnor_sim> ${_sim_win}/velnor_sim.dll
  COMMAND ${_copy} ${_linux_lib}/libvelnor.so.${PROJECT_VERSION} ${_sim_linux}/libvelnor.so.1
  COMMAND ${_copy} ${_linux_lib}/libvelnor_sim.so ${_sim_linux}/libvelnor_sim.so
  COMMAND ${_copy} ${_linux_lib}/libvelnor_watch.so.${PROJECT_VERSION} ${_sim_linux}/libvelnor_watch.so.1
  COMMAND ${_copy} ${_linux_lib}/trace/libvelnor.so.${PROJECT_VERSION}
          ${_sim_linux}/recording/libvelnor.so.1
  COMMAND ${VELNOR_DOTNET_ENV} ${VELNOR_DOTNET} pack ${CMAKE_CURRENT_SOURCE_DIR}/nuget/Velnor.Packages.slnx
          -c Release ${VELNOR_DOTNET_PROPERTIES} -p:ContinuousIntegrationBuild=true
          -p:VelnorNativeDir=${_natives} -o ${_packages}
  DEPENDS velnor velnor_watch velnor_simulation velnor_watch_simulation velnor_sim velnor_recording
          ${_linux_built}
          ${VELNOR_DOTNET_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/Velnor.Net/README.md
          ${CMAKE_CURRENT_SOURCE_DIR}/Velnor.Net.Simulation/README.md ${CMAKE_CURRENT_SOURCE_DIR}/nuget/LICENSE.txt
          ${CMAKE_CURRENT_SOURCE_DIR}/nuget/release-notes.txt ${CMAKE_CURRENT_SOURCE_DIR}/nuget/Velnor.Net.targets
          ${CMAKE_CURRENT_SOURCE_DIR}/nuget/Velnor.Packaging.targets
          ${CMAKE_CURRENT_SOURCE_DIR}/nuget/Velnor.Packages.slnx
  COMMENT "Packing Velnor.Net and Velnor.Net.Simulation ${PROJECT_VERSION} with dotnet"
  VERBATIM)
add_custom_target(velnor_nuget ALL DEPENDS ${VELNOR_NUPKGS})
add_dependencies(velnor_nuget velnor_linux_natives)
set(VELNOR_NUPKGS ${VELNOR_NUPKGS} PARENT_SCOPE)

if(NOT VELNOR_BUILD_TESTS)
  return()
endif()
find_program(VELNOR_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)
find_program(VELNOR_READELF NAMES readelf REQUIRED)
add_test(NAME dotnet_nuget_package
  COMMAND ${CMAKE_COMMAND} -DPACKAGES=${_packages} -DVERSION=${PROJECT_VERSION}
          -DASSEMBLIES=${VELNOR_DOTNET_DIR}/bin -DOBJDUMP=${VELNOR_OBJDUMP} -DREADELF=${VELNOR_READELF}
          -DPRODUCT_DLL=$<TARGET_FILE:velnor> -DPRODUCT_WATCH_DLL=$<TARGET_FILE:velnor_watch>
          -DSIMULATION_DLL=$<TARGET_FILE:velnor_simulation>
          -DSIMULATION_WATCH_DLL=$<TARGET_FILE:velnor_watch_simulation> -DSIM_DLL=$<TARGET_FILE:velnor_sim>
          -DRECORDING_DLL=$<TARGET_FILE:velnor_recording>
          -DLINUX_LIB=${_linux_lib} -DTARGETS=${CMAKE_CURRENT_SOURCE_DIR}/nuget/Velnor.Net.targets
          -DWORK_DIR=${VELNOR_DOTNET_DIR}/package-check
          -P ${CMAKE_CURRENT_SOURCE_DIR}/nuget/check_package.cmake)
add_test(NAME dotnet_package_user
  COMMAND ${CMAKE_COMMAND} -DDOTNET=${VELNOR_DOTNET} -DPACKAGES=${_packages} -DVERSION=${PROJECT_VERSION}
          -DWORK_DIR=${VELNOR_DOTNET_DIR}/user -DCACHE_DIR=${VELNOR_DOTNET_DIR}/user-packages
          -P ${CMAKE_CURRENT_SOURCE_DIR}/nuget/check_user_projects.cmake)
set_tests_properties(dotnet_nuget_package dotnet_package_user PROPERTIES LABELS dotnet)
set_tests_properties(dotnet_nuget_package PROPERTIES TIMEOUT 60) # 1 s
set_tests_properties(dotnet_package_user PROPERTIES TIMEOUT 300) # about 40 s, 90 s with a cold package cache
