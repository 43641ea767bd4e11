# Links a program the way Visual Studio does: compiled for the MSVC ABI by
# clang, linked by lld-link with no C runtime against the archive's
# lib/Velnor.lib and lib/velnor_sim.lib (and MinGW's kernel32 import
# library), then run under Wine
# beside the archive's simulation DLLs. First checks that Velnor.lib is an
# MSVC-style short-import library for Velnor.dll with exactly the export list.
#
# cmake -DSDK=<unpacked archive> -DWORK_DIR=... -DSOURCE=msvc_consumer.c -DDEF=Velnor.def
#       -DCLANG=... -DLLD_LINK=... -DREADOBJ=... -DKERNEL32=libkernel32.a -DWINE=... -P ...
include(${CMAKE_CURRENT_LIST_DIR}/sdk_common.cmake)
require_vars(SDK WORK_DIR SOURCE DEF CLANG LLD_LINK READOBJ KERNEL32 WINE)

# One short-import member (the kind lib.exe writes) per export, undecorated,
# for Velnor.dll; beside them only the x64 import-descriptor objects. A
# GNU-style import library has no short-import members at all.
run(${READOBJ} ${SDK}/lib/Velnor.lib)
string(REGEX MATCHALL "Format: [^\n]+" formats "${run_output}")
set(short_imports ${formats})
list(FILTER short_imports INCLUDE REGEX "^Format: COFF-import-file$")
list(FILTER formats EXCLUDE REGEX "^Format: COFF-import-file$|^Format: COFF-x86-64$")
list(LENGTH short_imports short_count)
if(formats OR NOT short_count EQUAL 22)
  message(FATAL_ERROR "lib/Velnor.lib is not an x64 short-import library: "
                      "${short_count} short imports, other members: ${formats}")
endif()
foreach(field "File: Velnor.dll" "Type: code" "Name type: name")
  string(REGEX MATCHALL "\n${field}\n" hits "${run_output}")
  list(LENGTH hits hit_count)
  if(NOT hit_count EQUAL 22)
    message(FATAL_ERROR "lib/Velnor.lib: ${hit_count} short imports with '${field}', not 22")
  endif()
endforeach()
string(REGEX MATCHALL "Symbol: __imp_[A-Za-z0-9_]+" symbols "${run_output}")
string(REPLACE "Symbol: __imp_" "" symbols "${symbols}")
list(SORT symbols)
file(STRINGS ${DEF} expected REGEX "^    vl_")
list(TRANSFORM expected STRIP)
list(SORT expected)
if(NOT symbols STREQUAL expected)
  message(FATAL_ERROR "lib/Velnor.lib imports:\n${symbols}\nthe export list names:\n${expected}")
endif()
list(LENGTH symbols count)
message(STATUS "lib/Velnor.lib: ${count} short imports from Velnor.dll")

fresh_folder(${WORK_DIR} ${SDK}/simulation/Velnor.dll ${SDK}/simulation/velnor_sim.dll)
# velnor_sim.h includes <wchar.h>, which only a C runtime provides; wchar_t
# itself comes from <stddef.h>.
file(WRITE ${WORK_DIR}/no_crt/wchar.h "/* no C runtime here */\n")
run(${CLANG} --target=x86_64-pc-windows-msvc -ffreestanding -fno-builtin -O1 -std=c11 -Wall
    -Werror -I${SDK}/include -I${WORK_DIR}/no_crt -c ${SOURCE} -o ${WORK_DIR}/msvc_consumer.obj)
run(${LLD_LINK} /nologo /nodefaultlib /entry:consumer_main /subsystem:console
    /out:${WORK_DIR}/msvc_consumer.exe ${WORK_DIR}/msvc_consumer.obj ${SDK}/lib/Velnor.lib
    ${SDK}/lib/velnor_sim.lib ${KERNEL32})
run(${WINE} ${WORK_DIR}/msvc_consumer.exe)
if(NOT run_output MATCHES "msvc consumer: [0-9]+ checks passed")
  message(FATAL_ERROR "unexpected output of the MSVC-style consumer:\n${run_output}")
endif()
message(STATUS "${run_output}")
