# Header-only libraries of the build machine for the cross build.
#
# CLI11 and nlohmann-json are plain C++ headers and serve the Windows build
# as they are. Their Debian packages put them in /usr/include, which must
# never be on a MinGW include path (glibc's headers would shadow the Windows
# ones), so each library's own directory is exposed through a private
# directory of links.
set(_velto_host_headers ${CMAKE_BINARY_DIR}/host-headers)

function(velto_host_header_library target directory)
  if(TARGET ${target} OR NOT EXISTS /usr/include/${directory})
    return()
  endif()
  string(REPLACE "::" "_" link_dir ${target})
  set(root ${_velto_host_headers}/${link_dir})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK /usr/include/${directory} ${root}/${directory} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${root})
endfunction()

velto_host_header_library(CLI11::CLI11 CLI)
velto_host_header_library(nlohmann_json::nlohmann_json nlohmann)
