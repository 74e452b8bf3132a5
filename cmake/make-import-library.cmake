# Rebuilds the MinGW import library of VeltoSound.dll so that hosts can link
# against it with the public header.
#
# The DLL exports undecorated names, but a host compiling the header's
# __stdcall declarations refers to _Name@N. The import library therefore maps
# each decorated symbol to its undecorated export (dlltool --kill-at), with N
# taken from the DLL's own symbols. The MSVC-format import library, made by
# LLVM's dlltool from the same decorated list, maps them the same way.
#
# cmake -DDEF=... -DDLL=... -DNM=... -DDLLTOOL=... -DWORK_DEF=... -DIMPLIB=...
#   -DLLVM_DLLTOOL=... -DMSVC_IMPLIB=... -P
foreach(var DEF DLL NM DLLTOOL WORK_DEF IMPLIB LLVM_DLLTOOL MSVC_IMPLIB)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make-import-library: ${var} not set")
  endif()
endforeach()

execute_process(COMMAND ${NM} ${DLL} OUTPUT_VARIABLE symbols RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "make-import-library: ${NM} ${DLL} failed")
endif()

file(STRINGS ${DEF} def_lines)
get_filename_component(dll_name ${DLL} NAME)
set(decorated "LIBRARY ${dll_name}\nEXPORTS\n")
foreach(line IN LISTS def_lines)
  if(NOT line MATCHES "^[ \t]+([A-Za-z_][A-Za-z0-9_]*)[ \t]+@([0-9]+)")
    continue()
  endif()
  set(name ${CMAKE_MATCH_1})
  set(ordinal ${CMAKE_MATCH_2})
  if(NOT symbols MATCHES " T _${name}@([0-9]+)\n")
    message(FATAL_ERROR "make-import-library: no __stdcall symbol _${name}@N in ${DLL}")
  endif()
  string(APPEND decorated "    ${name}@${CMAKE_MATCH_1} @${ordinal}\n")
endforeach()
file(WRITE ${WORK_DEF} "${decorated}")

execute_process(
  COMMAND ${DLLTOOL} --kill-at --input-def ${WORK_DEF} --dllname ${dll_name} --output-lib ${IMPLIB}
  RESULT_VARIABLE dlltool_result)
if(NOT dlltool_result EQUAL 0)
  message(FATAL_ERROR "make-import-library: ${DLLTOOL} failed")
endif()

execute_process(COMMAND ${LLVM_DLLTOOL} -m i386 --kill-at -d ${WORK_DEF} -l ${MSVC_IMPLIB}
  RESULT_VARIABLE llvm_dlltool_result)
if(NOT llvm_dlltool_result EQUAL 0)
  message(FATAL_ERROR "make-import-library: ${LLVM_DLLTOOL} failed")
endif()
