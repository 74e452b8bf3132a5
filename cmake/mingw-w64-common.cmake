# What the MinGW-w64 cross builds share; the toolchain file of each
# architecture sets VELTO_MINGW_TRIPLET and includes this.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model gives the full C++ thread library; its winpthread is
# linked statically below, so the DLL still imports system DLLs only.
find_program(CMAKE_C_COMPILER NAMES ${VELTO_MINGW_TRIPLET}-gcc-posix ${VELTO_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VELTO_MINGW_TRIPLET}-g++-posix ${VELTO_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VELTO_MINGW_TRIPLET}-windres)
find_program(VELTO_MINGW_OBJDUMP NAMES ${VELTO_MINGW_TRIPLET}-objdump REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${VELTO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread go into the binaries: a host unpacks
# VeltoSound.dll alone, next to nothing but the system's DLLs.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

find_program(VELTO_MINGW_NM NAMES ${VELTO_MINGW_TRIPLET}-nm REQUIRED)
find_program(VELTO_MINGW_DLLTOOL NAMES ${VELTO_MINGW_TRIPLET}-dlltool REQUIRED)
