# Opens Velnor.Net.<version>.nupkg and checks its parts: the assembly and its
# XML documentation under lib/net45, the product Velnor.dll and VelnorWatch.dll
# (not the simulation builds) under runtimes/win-x64/native,
# build/Velnor.Net.targets (which copies both), and the manifest's id and
# version. Every file is compared with what the build made.
file(REMOVE_RECURSE ${WORK_DIR})
file(ARCHIVE_EXTRACT INPUT ${PACKAGE} DESTINATION ${WORK_DIR})
file(GLOB_RECURSE files RELATIVE ${WORK_DIR} ${WORK_DIR}/*)
# The zip's own bookkeeping (package metadata, content types, relationships).
list(FILTER files EXCLUDE REGEX "^(package/|_rels/|\\[Content_Types\\]\\.xml$)")
list(SORT files)
set(expected Velnor.Net.nuspec build/Velnor.Net.targets lib/net45/Velnor.Net.dll
             lib/net45/Velnor.Net.xml runtimes/win-x64/native/Velnor.dll
             runtimes/win-x64/native/VelnorWatch.dll)
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "the package holds:\n  ${files}\nexpected:\n  ${expected}")
endif()
foreach(pair "lib/net45/Velnor.Net.dll=${ASSEMBLY}" "lib/net45/Velnor.Net.xml=${XML}"
             "runtimes/win-x64/native/Velnor.dll=${NATIVE}"
             "runtimes/win-x64/native/VelnorWatch.dll=${WATCHER}" "build/Velnor.Net.targets=${TARGETS}")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 inside)
  list(GET pair 1 built)
  file(SHA256 ${WORK_DIR}/${inside} a)
  file(SHA256 ${built} b)
  if(NOT a STREQUAL b)
    message(FATAL_ERROR "${inside} in the package is not ${built}")
  endif()
endforeach()
foreach(native Velnor.dll VelnorWatch.dll)
  file(STRINGS ${WORK_DIR}/runtimes/win-x64/native/${native} sim_import REGEX "velnor_sim\\.dll")
  if(sim_import)
    message(FATAL_ERROR "the package's ${native} imports velnor_sim.dll: the simulation build, not the product")
  endif()
endforeach()
file(READ ${WORK_DIR}/Velnor.Net.nuspec nuspec)
if(NOT nuspec MATCHES "<id>Velnor\\.Net</id>" OR NOT nuspec MATCHES "<version>${VERSION}</version>")
  message(FATAL_ERROR "the manifest does not name Velnor.Net ${VERSION}:\n${nuspec}")
endif()
file(READ ${WORK_DIR}/build/Velnor.Net.targets targets)
foreach(native Velnor VelnorWatch)
  if(NOT targets MATCHES "runtimes\\\\win-x64\\\\native\\\\${native}\\.dll")
    message(FATAL_ERROR "build/Velnor.Net.targets does not copy ${native}.dll")
  endif()
endforeach()
list(LENGTH files count)
message(STATUS "${PACKAGE}: ${count} parts as expected")
