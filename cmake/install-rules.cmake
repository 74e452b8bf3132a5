# What `cmake --install` lays out for a host author.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/include/veltosound.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The C# bindings travel as source: a host compiles them into its own assembly.
install(FILES ${PROJECT_SOURCE_DIR}/bindings/csharp/VeltoSound.cs
  DESTINATION ${CMAKE_INSTALL_DATADIR}/veltosound/csharp)

if(WIN32)
  # bin/: the DLL, the command-line host and the mixer window; lib/: the MinGW and the MSVC
  # import libraries and the .def file (from which other toolchains make
  # their own).
  install(TARGETS VeltoSound
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${VELTO_MSVC_IMPORT_LIBRARY} DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${VELTO_DLL_PDB} DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/exports/VeltoSound.def DESTINATION ${CMAKE_INSTALL_LIBDIR})
  if(TARGET veltomix)
    install(TARGETS veltomix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  install(TARGETS VeltoMixer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The installed binaries are stripped; the debug information goes to a
  # .debug file beside each, named in a .gnu_debuglink section for gdb.
  install(CODE "set(VELTO_OBJCOPY [[${CMAKE_OBJCOPY}]])
    set(VELTO_STRIP [[${CMAKE_STRIP}]])
    set(VELTO_BINDIR [[${CMAKE_INSTALL_BINDIR}]])")
  install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/strip-installed.cmake)
  return()
endif()

include(CMakePackageConfigHelpers)

target_include_directories(veltosound INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS veltosound EXPORT VeltoSoundTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

set(VELTO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VeltoSound)
install(EXPORT VeltoSoundTargets NAMESPACE VeltoSound:: DESTINATION ${VELTO_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VeltoSoundConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/VeltoSoundConfig.cmake INSTALL_DESTINATION ${VELTO_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VeltoSoundConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VeltoSoundConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/VeltoSoundConfigVersion.cmake DESTINATION ${VELTO_CMAKE_DIR})

# Relative to the .pc file, so that the installed tree can be moved.
file(RELATIVE_PATH VELTO_PC_PREFIX_FROM_PCDIR /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/veltosound.pc.in ${CMAKE_CURRENT_BINARY_DIR}/veltosound.pc
  @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/veltosound.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The command-line host, its manual page and its bash completion.
if(TARGET veltomix)
  install(TARGETS veltomix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET veltomix_pages)
  install(FILES ${PROJECT_BINARY_DIR}/tools/veltomix/veltomix.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_BINARY_DIR}/tools/veltomix/veltomix.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME veltomix)
endif()
