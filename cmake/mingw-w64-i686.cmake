# Cross build of the 32-bit Windows DLL with Debian's MinGW-w64 (i686).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VELTO_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
