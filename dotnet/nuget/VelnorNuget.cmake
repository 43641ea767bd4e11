# Velnor.Net.<version>.nupkg from the Windows build: the assembly and its XML
# documentation under lib/net45, the product Velnor.dll and VelnorWatch.dll
# under runtimes/win-x64/native and build/Velnor.Net.targets, packed by Debian's
# nuget under Mono. The SDK archive carries it under dotnet/.
find_program(VELNOR_NUGET nuget)
if(NOT VELNOR_NUGET)
  message(STATUS "nuget not found: no Velnor.Net package (scripts/install-deps.sh installs it)")
  return()
endif()

set(VELNOR_NUGET_TARGETS ${CMAKE_CURRENT_SOURCE_DIR}/nuget/Velnor.Net.targets)
set(VELNOR_NUPKG ${VELNOR_DOTNET_DIR}/Velnor.Net.${PROJECT_VERSION}.nupkg)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/nuget/Velnor.Net.manifest.xml.in
               ${VELNOR_DOTNET_DIR}/Velnor.Net.nuspec @ONLY)
add_custom_command(
  OUTPUT ${VELNOR_NUPKG}
  # nuget keeps its settings under HOME; a folder of the build's own keeps it off the user's.
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELNOR_DOTNET_DIR}/pack
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:velnor> $<TARGET_FILE:velnor_watch> ${VELNOR_NUGET_TARGETS}
          ${VELNOR_DOTNET_DIR}/pack
  COMMAND ${CMAKE_COMMAND} -E env HOME=${VELNOR_DOTNET_DIR}/nuget-home
          ${VELNOR_NUGET} pack ${VELNOR_DOTNET_DIR}/Velnor.Net.nuspec
          -OutputDirectory ${VELNOR_DOTNET_DIR} -NoPackageAnalysis -NonInteractive
  DEPENDS velnor velnor_watch ${VELNOR_DOTNET_ASSEMBLY} ${VELNOR_DOTNET_DIR}/Velnor.Net.nuspec ${VELNOR_NUGET_TARGETS}
  WORKING_DIRECTORY ${VELNOR_DOTNET_DIR}
  COMMENT "Packing Velnor.Net.${PROJECT_VERSION}.nupkg with nuget"
  VERBATIM)
add_custom_target(velnor_nuget ALL DEPENDS ${VELNOR_NUPKG})
set(VELNOR_NUPKG ${VELNOR_NUPKG} PARENT_SCOPE)

if(VELNOR_BUILD_TESTS)
  add_test(NAME dotnet_nuget_package
    COMMAND ${CMAKE_COMMAND} -DPACKAGE=${VELNOR_NUPKG} -DVERSION=${PROJECT_VERSION}
            -DASSEMBLY=${VELNOR_DOTNET_ASSEMBLY} -DXML=${VELNOR_DOTNET_XML}
            -DNATIVE=$<TARGET_FILE:velnor> -DWATCHER=$<TARGET_FILE:velnor_watch>
            -DTARGETS=${VELNOR_NUGET_TARGETS}
            -DWORK_DIR=${VELNOR_DOTNET_DIR}/package-check
            -P ${CMAKE_CURRENT_SOURCE_DIR}/nuget/check_package.cmake)
  set_tests_properties(dotnet_nuget_package PROPERTIES TIMEOUT 60 LABELS dotnet)
endif()
