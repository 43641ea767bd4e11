# Opens the two packages and their symbol packages and checks every part:
# - each holds exactly the files it should (the zip's own bookkeeping aside);
# - each assembly, native library and the targets file is byte for byte what the build made;
# - Velnor.Net's natives are the product (they import no velnor_sim.dll), the simulation
#   package's are the virtual-platform builds (the DLLs import velnor_sim.dll and nothing by
#   the names they were renamed from; the Linux libraries load libvelnor_sim.so from beside
#   themselves, release builds without debug information);
# - the recording builds, in runtimes/<rid>/recording/ where NuGet copies nothing from: the
#   DLL's version resource says so and it imports no velnor_sim.dll, the Linux one is the
#   virtual-platform build that looks beside itself first;
# - the manifests: id, version, the simulation package's dependency on Velnor.Net of the
#   same version, licence file, README, release notes and repository.
#
# cmake -DPACKAGES=... -DVERSION=... -DASSEMBLIES=... -DOBJDUMP=... -DREADELF=...
#       -DPRODUCT_DLL=... -DPRODUCT_WATCH_DLL=... -DSIMULATION_DLL=... -DSIMULATION_WATCH_DLL=...
#       -DSIM_DLL=... -DRECORDING_DLL=... -DLINUX_LIB=... -DTARGETS=... -DWORK_DIR=...
#       -P check_package.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var PACKAGES VERSION ASSEMBLIES OBJDUMP READELF PRODUCT_DLL PRODUCT_WATCH_DLL SIMULATION_DLL
            SIMULATION_WATCH_DLL SIM_DLL RECORDING_DLL LINUX_LIB TARGETS WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_package.cmake needs -D${var}=...")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
set(failures "")
macro(fail text)
  string(APPEND failures "\n  ${text}")
endmacro()

# Unpacks <file> into WORK_DIR/<file name> and compares its parts with the expected list.
function(check_parts file)
  set(expected ${ARGN})
  get_filename_component(name ${file} NAME)
  set(dir ${WORK_DIR}/${name})
  if(NOT EXISTS ${PACKAGES}/${file})
    set(failures "${failures}\n  ${file}: not packed" PARENT_SCOPE)
    return()
  endif()
  file(ARCHIVE_EXTRACT INPUT ${PACKAGES}/${file} DESTINATION ${dir})
  file(GLOB_RECURSE parts RELATIVE ${dir} ${dir}/*)
  list(FILTER parts EXCLUDE REGEX "^(package/|_rels/|\\[Content_Types\\]\\.xml$)")
  list(SORT parts)
  list(SORT expected)
  if(NOT parts STREQUAL expected)
    string(REPLACE ";" "\n    " parts "${parts}")
    string(REPLACE ";" "\n    " expected "${expected}")
    set(failures "${failures}\n  ${file} holds:\n    ${parts}\n  expected:\n    ${expected}" PARENT_SCOPE)
  endif()
endfunction()

set(net Velnor.Net.${VERSION})
set(sim Velnor.Net.Simulation.${VERSION})
set(win runtimes/win-x64/native)
set(linux runtimes/linux-x64/native)
set(win_recording runtimes/win-x64/recording)
set(linux_recording runtimes/linux-x64/recording)
check_parts(${net}.nupkg LICENSE.txt README.md Velnor.Net.nuspec build/Velnor.Net.targets
            lib/net8.0/Velnor.Net.dll lib/net8.0/Velnor.Net.xml lib/netstandard2.0/Velnor.Net.dll
            lib/netstandard2.0/Velnor.Net.xml ${win}/Velnor.dll ${win}/VelnorWatch.dll
            ${win_recording}/Velnor.dll)
check_parts(${net}.snupkg Velnor.Net.nuspec lib/net8.0/Velnor.Net.pdb lib/netstandard2.0/Velnor.Net.pdb)
check_parts(${sim}.nupkg LICENSE.txt README.md Velnor.Net.Simulation.nuspec
            lib/net8.0/Velnor.Net.Simulation.dll lib/net8.0/Velnor.Net.Simulation.xml
            ${linux}/libvelnor.so.1 ${linux}/libvelnor_sim.so ${linux}/libvelnor_watch.so.1
            ${win}/VelnorSimulation.dll ${win}/VelnorWatchSimulation.dll ${win}/velnor_sim.dll
            ${linux_recording}/libvelnor.so.1)
check_parts(${sim}.snupkg Velnor.Net.Simulation.nuspec lib/net8.0/Velnor.Net.Simulation.pdb)
if(failures)
  message(FATAL_ERROR "the packages' parts are wrong:${failures}")
endif()

set(N ${WORK_DIR}/${net}.nupkg)
set(S ${WORK_DIR}/${sim}.nupkg)
# Every part that is a copy of a built file, as <part>=<built file>.
foreach(pair "${N}/${win}/Velnor.dll=${PRODUCT_DLL}" "${N}/${win}/VelnorWatch.dll=${PRODUCT_WATCH_DLL}"
             "${N}/build/Velnor.Net.targets=${TARGETS}"
             "${N}/lib/net8.0/Velnor.Net.dll=${ASSEMBLIES}/Velnor.Net/release_net8.0/Velnor.Net.dll"
             "${N}/lib/netstandard2.0/Velnor.Net.dll=${ASSEMBLIES}/Velnor.Net/release_netstandard2.0/Velnor.Net.dll"
             "${S}/lib/net8.0/Velnor.Net.Simulation.dll=${ASSEMBLIES}/Velnor.Net.Simulation/release/Velnor.Net.Simulation.dll"
             "${S}/${win}/VelnorSimulation.dll=${SIMULATION_DLL}"
             "${S}/${win}/VelnorWatchSimulation.dll=${SIMULATION_WATCH_DLL}" "${S}/${win}/velnor_sim.dll=${SIM_DLL}"
             "${S}/${linux}/libvelnor.so.1=${LINUX_LIB}/libvelnor.so.${VERSION}"
             "${S}/${linux}/libvelnor_sim.so=${LINUX_LIB}/libvelnor_sim.so"
             "${S}/${linux}/libvelnor_watch.so.1=${LINUX_LIB}/libvelnor_watch.so.${VERSION}"
             "${N}/${win_recording}/Velnor.dll=${RECORDING_DLL}"
             "${S}/${linux_recording}/libvelnor.so.1=${LINUX_LIB}/trace/libvelnor.so.${VERSION}")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 part)
  list(GET pair 1 built)
  file(SHA256 ${part} a)
  file(SHA256 ${built} b)
  if(NOT a STREQUAL b)
    fail("${part} is not ${built}")
  endif()
endforeach()

# The DLLs each Windows library imports, as a list of lower-case names.
function(imports dll out)
  execute_process(COMMAND ${OBJDUMP} -p ${dll} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${dll} failed")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
  list(TRANSFORM lines REPLACE "DLL Name: " "")
  list(TRANSFORM lines TOLOWER)
  set(${out} ${lines} PARENT_SCOPE)
endfunction()
foreach(dll ${N}/${win}/Velnor.dll ${N}/${win}/VelnorWatch.dll ${N}/${win_recording}/Velnor.dll)
  imports(${dll} names)
  if("velnor_sim.dll" IN_LIST names)
    fail("${dll} imports velnor_sim.dll: a simulation build, not the product")
  endif()
endforeach()
# The version resource's strings are UTF-16LE.
foreach(dll ${N}/${win}/Velnor.dll ${N}/${win_recording}/Velnor.dll)
  file(STRINGS ${dll} says ENCODING UTF-16LE REGEX "recording build \\(writes a trace\\)")
  if(dll MATCHES "/recording/" AND NOT says)
    fail("${dll} does not describe itself as the recording build")
  elseif(NOT dll MATCHES "/recording/" AND says)
    fail("${dll} describes itself as the recording build")
  endif()
endforeach()
foreach(dll ${S}/${win}/VelnorSimulation.dll ${S}/${win}/VelnorWatchSimulation.dll)
  imports(${dll} names)
  if(NOT "velnor_sim.dll" IN_LIST names)
    fail("${dll} does not import velnor_sim.dll: not a simulation build (imports: ${names})")
  endif()
  # Renamed, they must not load a library by the product's names.
  if("velnor.dll" IN_LIST names OR "velnorwatch.dll" IN_LIST names)
    fail("${dll} imports a library by the product's name: ${names}")
  endif()
endforeach()

# The Linux libraries: what each needs, where it looks, that it carries no debug information.
# The recording build looks beside itself first, where an application's output has it in
# the product's place, then where an install puts libvelnor_sim.so.
foreach(lib native/libvelnor.so.1 native/libvelnor_watch.so.1 native/libvelnor_sim.so
            recording/libvelnor.so.1)
  set(runpath "\\$ORIGIN")
  if(lib MATCHES "^recording/")
    set(runpath "\\$ORIGIN:\\$ORIGIN/\\.\\./\\.\\.")
  endif()
  execute_process(COMMAND ${READELF} -h -d -S ${S}/runtimes/linux-x64/${lib} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    fail("${lib} is not an ELF file")
    continue()
  endif()
  if(NOT dump MATCHES "Machine: +Advanced Micro Devices X86-64")
    fail("${lib} is not an x86-64 library")
  endif()
  if(dump MATCHES "\\.debug_info")
    fail("${lib} carries debug information: not the release build")
  endif()
  if(lib STREQUAL "native/libvelnor_sim.so")
    continue()
  endif()
  get_filename_component(soname ${lib} NAME)
  if(NOT dump MATCHES "\\(SONAME\\)[^\n]*\\[${soname}\\]")
    fail("${lib} does not name itself ${soname}")
  endif()
  if(NOT dump MATCHES "\\(NEEDED\\)[^\n]*\\[libvelnor_sim\\.so\\]")
    fail("${lib} does not load libvelnor_sim.so: not the virtual-platform build")
  endif()
  if(NOT dump MATCHES "\\(RUNPATH\\)[^\n]*\\[${runpath}\\]")
    string(REGEX MATCH "\\((RUNPATH|RPATH)\\)[^\n]*" path "${dump}")
    fail("${lib} does not look beside itself for libvelnor_sim.so (RUNPATH [${runpath}]): ${path}")
  endif()
endforeach()

# The manifests.
file(READ ${N}/Velnor.Net.nuspec nuspec_net)
file(READ ${S}/Velnor.Net.Simulation.nuspec nuspec_sim)
foreach(pair "Velnor.Net=${nuspec_net}" "Velnor.Net.Simulation=${nuspec_sim}")
  string(FIND "${pair}" "=" at)
  string(SUBSTRING "${pair}" 0 ${at} id)
  math(EXPR at "${at} + 1")
  string(SUBSTRING "${pair}" ${at} -1 nuspec)
  string(REPLACE "." "\\." id_re ${id})
  foreach(re "<id>${id_re}</id>" "<version>${VERSION}</version>" "<license type=\"file\">LICENSE\\.txt</license>"
             "<readme>README\\.md</readme>" "<releaseNotes>[^<]*${VERSION}[^<]*</releaseNotes>"
             "<repository type=\"git\"" "<description>[^<]+</description>")
    if(NOT nuspec MATCHES "${re}")
      fail("${id}.nuspec lacks ${re}")
    endif()
  endforeach()
endforeach()
if(NOT nuspec_sim MATCHES "<group targetFramework=\"net8\\.0\">[ \r\n]*<dependency id=\"Velnor\\.Net\" version=\"${VERSION}\"")
  fail("Velnor.Net.Simulation does not depend on Velnor.Net ${VERSION}:\n${nuspec_sim}")
endif()
if(nuspec_net MATCHES "<dependency ")
  fail("Velnor.Net depends on another package:\n${nuspec_net}")
endif()

if(failures)
  message(FATAL_ERROR "the packages are wrong:${failures}")
endif()
message(STATUS "${PACKAGES}: ${net} and ${sim}, with their symbols, as expected")
