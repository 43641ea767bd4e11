# The two packages as a .NET developer meets them: in a fresh folder, a console program and
# an NUnit project made by the dotnet templates reference Velnor.Net and
# Velnor.Net.Simulation from a folder feed holding the packages just built, then build and
# run on virtual boards, and their output is compared with what it must be. Then the
# console program built for win-x64 must hold the product's and the simulation's libraries
# side by side, each as its package has it.
#
# Velnor.* come only from the folder feed (package source mapping); the test frameworks come
# from the machine's feed. The packages folder is the test's own and loses every Velnor
# package before each run, so a cached Velnor.Net of the same version never stands in for
# the one built; the rest stays there from run to run.
#
# cmake -DDOTNET=... -DPACKAGES=... -DVERSION=... -DWORK_DIR=... -DCACHE_DIR=... -P check_user_projects.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var DOTNET PACKAGES VERSION WORK_DIR CACHE_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_user_projects.cmake needs -D${var}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/feed ${WORK_DIR}/tmp ${CACHE_DIR})
foreach(id Velnor.Net Velnor.Net.Simulation)
  file(COPY ${PACKAGES}/${id}.${VERSION}.nupkg DESTINATION ${WORK_DIR}/feed)
endforeach()
file(GLOB stale LIST_DIRECTORIES true ${CACHE_DIR}/velnor.*)
if(stale)
  file(REMOVE_RECURSE ${stale})
endif()
# The folder feed beside the machine's own sources; "nuget.org" is the key the .NET SDK gives
# the machine's feed.
file(WRITE ${WORK_DIR}/NuGet.config [[
<?xml version="1.0" encoding="utf-8"?>
<configuration>
  <packageSources>
    <add key="velnor" value="feed" />
  </packageSources>
  <packageSourceMapping>
    <packageSource key="velnor">
      <package pattern="Velnor.*" />
    </packageSource>
    <packageSource key="nuget.org">
      <package pattern="*" />
    </packageSource>
  </packageSourceMapping>
</configuration>
]])
# No vulnerability audit: the result must not depend on what the feed says that day.
file(WRITE ${WORK_DIR}/Directory.Build.props [[
<Project>
  <PropertyGroup>
    <NuGetAudit>false</NuGetAudit>
  </PropertyGroup>
</Project>
]])

# The library is found in the packages alone: nothing from the environment points elsewhere.
set(env ${CMAKE_COMMAND} -E env --unset=VELNOR_LIBRARY --unset=LD_LIBRARY_PATH NUGET_PACKAGES=${CACHE_DIR}
        TMPDIR=${WORK_DIR}/tmp DOTNET_NOLOGO=1 DOTNET_CLI_TELEMETRY_OPTOUT=1
        DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1 MSBUILDDISABLENODEREUSE=1 DOTNET_CLI_USE_MSBUILD_SERVER=0)
set(step 0)
# dotnet(<args>...): runs dotnet in WORK_DIR; its output (both streams) goes to a file of
# its own, read back into `output`. A file rather than a pipe: a build server left running
# would hold a pipe open. Fails the test with that output if dotnet fails.
function(dotnet)
  math(EXPR step "${step} + 1")
  set(step ${step} PARENT_SCOPE)
  set(log ${WORK_DIR}/step-${step}.log)
  execute_process(COMMAND ${env} ${DOTNET} ${ARGN} WORKING_DIRECTORY ${WORK_DIR}
                  OUTPUT_FILE ${log} ERROR_FILE ${log} RESULT_VARIABLE rc)
  file(READ ${log} out)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "dotnet ${command} failed (${rc}):\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

dotnet(new console -o app --no-update-check --no-restore)
dotnet(new nunit -o tests --no-update-check --no-restore)
foreach(project app tests)
  foreach(id Velnor.Net Velnor.Net.Simulation)
    dotnet(add ${project} package ${id} --version ${VERSION} --no-restore)
  endforeach()
endforeach()

# The console program: two virtual boards listed, the second opened, its LED set and read.
file(WRITE ${WORK_DIR}/app/Program.cs [[
using Velnor;

Simulation.Reset();
Simulation.AddBoard("APP-0001");
Simulation.AddBoard("APP-0002");
Console.WriteLine($"{Board.Count} boards");
foreach (BoardInfo info in Board.GetBoards())
{
    Console.WriteLine($"{info.Index} {info.Serial} firmware {info.FirmwareVersion} driver {info.DriverVersion}");
}
using Board board = Board.Open("APP-0002");
board.Led = Led.Blink;
Console.WriteLine($"board {board.Index} {board.Serial}: LED {board.Led}");
]])
dotnet(run --project app)
# The virtual platform's boards report firmware 1.3.0 and driver 2.4.1 unless told otherwise.
set(expected "2 boards
0 APP-0001 firmware 1.3.0 driver 2.4.1
1 APP-0002 firmware 1.3.0 driver 2.4.1
board 1 APP-0002: LED Blink
")
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "the console program printed:\n${output}\nexpected:\n${expected}")
endif()

# The NUnit project: a test that resets the platform before it, adds a board, reads its serial.
file(GLOB template_tests ${WORK_DIR}/tests/*.cs)
file(REMOVE ${template_tests})
file(WRITE ${WORK_DIR}/tests/BoardTests.cs [[
using Velnor;

namespace Tests;

public class BoardTests
{
    [SetUp]
    public void ResetPlatform() => Simulation.Reset();

    [Test]
    public void ReadsTheSerialOfAnAddedBoard()
    {
        Simulation.AddBoard("LAB-0042");
        using Board board = Board.Open(0);
        Assert.That(board.Serial, Is.EqualTo("LAB-0042"));
    }
}
]])
dotnet(test tests --logger trx --results-directory ${WORK_DIR}/results)
file(GLOB trx ${WORK_DIR}/results/*.trx)
file(READ ${trx} results)
if(NOT results MATCHES "testName=\"ReadsTheSerialOfAnAddedBoard\"[^>]* outcome=\"Passed\""
   OR NOT results MATCHES "<Counters total=\"1\" executed=\"1\" passed=\"1\" failed=\"0\"")
  message(FATAL_ERROR "the NUnit project's run did not pass its one test:\n${output}\n${results}")
endif()

# The natives as each package has them.
set(unpacked ${WORK_DIR}/unpacked)
foreach(id Velnor.Net Velnor.Net.Simulation)
  file(ARCHIVE_EXTRACT INPUT ${PACKAGES}/${id}.${VERSION}.nupkg DESTINATION ${unpacked}/${id} PATTERNS runtimes/*)
endforeach()
set(product Velnor.dll VelnorWatch.dll)
set(simulation VelnorSimulation.dll VelnorWatchSimulation.dll velnor_sim.dll)
# check_natives(<folder> <rid>): <folder> holds every native of both packages for <rid>,
# each the same bytes as in its package.
function(check_natives folder rid)
  foreach(id Velnor.Net Velnor.Net.Simulation)
    file(GLOB names RELATIVE ${unpacked}/${id}/runtimes/${rid}/native ${unpacked}/${id}/runtimes/${rid}/native/*)
    foreach(name IN LISTS names)
      if(NOT EXISTS ${folder}/${name})
        message(FATAL_ERROR "${folder} lacks ${name} (from ${id})")
      endif()
      file(SHA256 ${folder}/${name} built)
      file(SHA256 ${unpacked}/${id}/runtimes/${rid}/native/${name} packed)
      if(NOT built STREQUAL packed)
        message(FATAL_ERROR "${folder}/${name} is not ${id}'s ${name}")
      endif()
    endforeach()
  endforeach()
endfunction()

# The console program as built above (no runtime identifier): every library under
# runtimes/<rid>/native/, both packages' in one folder.
set(out ${WORK_DIR}/app/bin/Debug)
file(GLOB framework_dirs LIST_DIRECTORIES true ${out}/net*)
list(GET framework_dirs 0 framework_dir)
file(GLOB win_natives RELATIVE ${framework_dir}/runtimes/win-x64/native ${framework_dir}/runtimes/win-x64/native/*)
file(GLOB linux_natives RELATIVE ${framework_dir}/runtimes/linux-x64/native ${framework_dir}/runtimes/linux-x64/native/*)
set(expected_win ${product} ${simulation})
set(expected_linux libvelnor.so.1 libvelnor_sim.so libvelnor_watch.so.1)
foreach(list win_natives linux_natives expected_win expected_linux)
  list(SORT ${list})
endforeach()
if(NOT win_natives STREQUAL expected_win OR NOT linux_natives STREQUAL expected_linux)
  message(FATAL_ERROR "${framework_dir}/runtimes holds win-x64: ${win_natives}; linux-x64: ${linux_natives}")
endif()
check_natives(${framework_dir}/runtimes/win-x64/native win-x64)
check_natives(${framework_dir}/runtimes/linux-x64/native linux-x64)

# Built for win-x64: the libraries beside the program, the product's and the simulation's
# side by side, none overwritten by another, and no Linux library.
dotnet(build app -r win-x64)
set(win_out ${framework_dir}/win-x64)
if(NOT EXISTS ${win_out}/app.exe)
  message(FATAL_ERROR "the win-x64 build made no ${win_out}/app.exe")
endif()
check_natives(${win_out} win-x64)
file(GLOB linux_there ${win_out}/*.so ${win_out}/*.so.* ${win_out}/runtimes)
if(linux_there)
  message(FATAL_ERROR "the win-x64 build holds Linux libraries: ${linux_there}")
endif()
# <VelnorRecording>true</VelnorRecording>: each package's recording build where its product
# was, under the product's name, with and without a runtime identifier; run on Linux, the
# console program prints the same and writes a trace of its calls.
dotnet(build app -p:VelnorRecording=true)
dotnet(build app -r win-x64 -p:VelnorRecording=true)
foreach(place "${framework_dir}/runtimes/win-x64/native:Velnor.Net:win-x64:Velnor.dll"
              "${win_out}:Velnor.Net:win-x64:Velnor.dll"
              "${framework_dir}/runtimes/linux-x64/native:Velnor.Net.Simulation:linux-x64:libvelnor.so.1")
  string(REPLACE ":" ";" place "${place}")
  list(GET place 0 folder)
  list(GET place 1 id)
  list(GET place 2 rid)
  list(GET place 3 name)
  file(SHA256 ${folder}/${name} built)
  file(SHA256 ${unpacked}/${id}/runtimes/${rid}/recording/${name} recording)
  if(NOT built STREQUAL recording)
    message(FATAL_ERROR "with VelnorRecording, ${folder}/${name} is not ${id}'s recording build")
  endif()
endforeach()
dotnet(${framework_dir}/app.dll)
file(GLOB traces ${WORK_DIR}/tmp/Velnor-trace-*.pcapng)
list(LENGTH traces count)
if(NOT output STREQUAL expected OR NOT count EQUAL 1)
  message(FATAL_ERROR "the recording console program wrote ${count} traces and printed:\n${output}")
endif()
message(STATUS "the console program and the NUnit project ran on virtual boards from the packages")
