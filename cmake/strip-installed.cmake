# Run by `cmake --install` of the Windows build (see install-rules.cmake),
# with VELTO_OBJCOPY, VELTO_STRIP and VELTO_BINDIR set.
foreach(binary VeltoSound.dll veltomix.exe VeltoMixer.exe)
  set(installed "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${VELTO_BINDIR}/${binary}")
  if(NOT EXISTS "${installed}")
    continue()
  endif()
  execute_process(COMMAND ${VELTO_OBJCOPY} --only-keep-debug ${installed} ${installed}.debug
    COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${VELTO_STRIP} --strip-all ${installed} COMMAND_ERROR_IS_FATAL ANY)
  # The link holds the file's name (no directory) and its checksum.
  execute_process(COMMAND ${VELTO_OBJCOPY} --add-gnu-debuglink=${installed}.debug ${installed}
    COMMAND_ERROR_IS_FATAL ANY)
  file(SIZE ${installed} size)
  message(STATUS "Stripped: ${installed} (${size} bytes; debug information in ${binary}.debug)")
endforeach()
