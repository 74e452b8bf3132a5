# The release archive, VeltoSound-<version>-windows.zip, made by cpack from
# this 64-bit build and the 32-bit one beside it (the mingw preset's; the
# test command builds it first): x86/ and x64/ with each width's binaries,
# import libraries and Python wheel, then what both share; and the symbols
# archive, VeltoSound-<version>-windows-symbols.zip, with the debug
# information of both.
set(VELTO_X86_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/mingw
  CACHE PATH "32-bit Windows build whose binaries go into the release archive's x86/")

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME VeltoSound)
set(CPACK_PACKAGE_FILE_NAME VeltoSound-${PROJECT_VERSION}-windows)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(VELTO_WINDOWS_ARCHIVE ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip)
set(VELTO_SYMBOLS_ARCHIVE ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}-symbols.zip)
# The layout script installs both builds itself: nothing of this project's
# own install rules goes in as they stand (bin/, lib/).
set(CPACK_INSTALL_CMAKE_PROJECTS "")
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows-archive-readme.txt.in
  ${PROJECT_BINARY_DIR}/archive/README.txt @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows-archive-layout.cmake.in
  ${PROJECT_BINARY_DIR}/archive/layout.cmake @ONLY)
set(CPACK_INSTALL_SCRIPTS ${PROJECT_BINARY_DIR}/archive/layout.cmake)
include(CPack)
