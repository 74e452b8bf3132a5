# VeltoSound.dll: the core and the Core Audio backend, exporting exactly the
# names and ordinals of exports/VeltoSound.def.
add_library(VeltoSound SHARED ${PROJECT_SOURCE_DIR}/exports/VeltoSound.def)
target_link_libraries(VeltoSound PRIVATE velto_core_obj velto_coreaudio_obj)
set_target_properties(VeltoSound PROPERTIES PREFIX "" LINKER_LANGUAGE CXX)
velto_add_version_resource(VeltoSound "VeltoSound sound-card mixer library")
velto_add_version_resource(veltomix "VeltoSound command-line mixer")
# VeltoSound.pdb for Windows debuggers, named in the DLL's debug directory.
# GCC writes DWARF only, which ld does not convert: the PDB carries the
# public symbols (functions by name and address), no lines or types.
target_link_options(VeltoSound PRIVATE -Wl,--pdb=VeltoSound.pdb)
set(VELTO_DLL_PDB ${PROJECT_BINARY_DIR}/VeltoSound.pdb)

# VeltoSound.lib beside the DLL: the import library in the format MSVC's
# linker (and lld-link) reads, made by LLVM's dlltool from the .def.
find_program(VELTO_LLVM_DLLTOOL NAMES llvm-dlltool REQUIRED)
set(VELTO_MSVC_IMPORT_LIBRARY ${PROJECT_BINARY_DIR}/VeltoSound.lib)
# x86-64 has one calling convention and no name decoration: the names of the
# .def are the symbols, and ld's import library serves hosts as it is.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_custom_command(TARGET VeltoSound POST_BUILD
    COMMAND ${VELTO_LLVM_DLLTOOL} -m i386:x86-64 -d ${PROJECT_SOURCE_DIR}/exports/VeltoSound.def
      -l ${VELTO_MSVC_IMPORT_LIBRARY}
    VERBATIM)
  return()
endif()

# The .def names are undecorated; ld maps each to its _Name@N definition.
target_link_options(VeltoSound PRIVATE -Wl,--enable-stdcall-fixup)

# The import library ld writes names the undecorated symbols, which a host
# using the header's __stdcall declarations cannot link against.
add_custom_command(TARGET VeltoSound POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DDEF=${PROJECT_SOURCE_DIR}/exports/VeltoSound.def
    -DDLL=$<TARGET_FILE:VeltoSound> -DIMPLIB=$<TARGET_LINKER_FILE:VeltoSound>
    -DWORK_DEF=${PROJECT_BINARY_DIR}/VeltoSound-decorated.def
    -DNM=${VELTO_MINGW_NM} -DDLLTOOL=${VELTO_MINGW_DLLTOOL}
    -DLLVM_DLLTOOL=${VELTO_LLVM_DLLTOOL} -DMSVC_IMPLIB=${VELTO_MSVC_IMPORT_LIBRARY}
    -P ${PROJECT_SOURCE_DIR}/cmake/make-import-library.cmake
  VERBATIM)
