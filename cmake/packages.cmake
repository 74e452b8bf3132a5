# What a user installs with their language's package manager: the Python
# wheel of this build's library (python/wheel/) and the C# bindings as an
# assembly with the native libraries in a NuGet package (nuget/). Both carry
# the library stripped (stripped/), as the install does. Each is made
# where its tools are found: a python3 with pip; Mono's mcs and nuget
# (Debian: python3-pip, mono-mcs, nuget).
if(WIN32)
  set(VELTO_LIBRARY_TARGET VeltoSound)
  set(VELTO_STRIPPED_LIBRARY ${PROJECT_BINARY_DIR}/stripped/VeltoSound.dll)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(wheel_platform win_amd64)
  else()
    set(wheel_platform win32)
  endif()
else()
  set(VELTO_LIBRARY_TARGET veltosound)
  set(VELTO_STRIPPED_LIBRARY ${PROJECT_BINARY_DIR}/stripped/libveltosound.so)
  set(wheel_platform linux_${CMAKE_SYSTEM_PROCESSOR})
endif()
add_custom_command(OUTPUT ${VELTO_STRIPPED_LIBRARY} DEPENDS ${VELTO_LIBRARY_TARGET} VERBATIM
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/stripped
  COMMAND ${CMAKE_STRIP} --strip-all -o ${VELTO_STRIPPED_LIBRARY}
    $<TARGET_FILE:${VELTO_LIBRARY_TARGET}>)

find_program(VELTO_PYTHON3 NAMES python3)
if(VELTO_PYTHON3)
  execute_process(COMMAND ${VELTO_PYTHON3} -m pip --version
    RESULT_VARIABLE no_pip OUTPUT_QUIET ERROR_QUIET)
endif()
if(NOT VELTO_PYTHON3 OR no_pip)
  message(STATUS "python3 with pip not found: no Python wheel")
else()
  # pip builds it offline through the package's own backend, which reads the
  # platform tag from the library itself.
  set(wheel_dir ${PROJECT_BINARY_DIR}/python/wheel)
  set(VELTO_WHEEL ${wheel_dir}/veltosound-${PROJECT_VERSION}-py3-none-${wheel_platform}.whl)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/python/veltosound/*.py
    ${PROJECT_SOURCE_DIR}/python/wheel_backend.py ${PROJECT_SOURCE_DIR}/python/pyproject.toml
    ${PROJECT_SOURCE_DIR}/python/README.md)
  add_custom_command(OUTPUT ${VELTO_WHEEL} DEPENDS ${VELTO_STRIPPED_LIBRARY} ${sources} VERBATIM
    COMMAND ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1
      ${VELTO_PYTHON3} -m pip wheel --quiet --no-deps --no-index --no-cache-dir
      --config-settings library=${VELTO_STRIPPED_LIBRARY} -w ${wheel_dir}
      ${PROJECT_SOURCE_DIR}/python
    # Fails the step when the backend named the wheel otherwise.
    COMMAND ${CMAKE_COMMAND} -E sha256sum ${VELTO_WHEEL})
  add_custom_target(python_wheel ALL DEPENDS ${VELTO_WHEEL})
endif()

find_program(VELTO_MCS mcs)
find_program(VELTO_NUGET nuget)
if(NOT VELTO_MCS OR NOT VELTO_NUGET)
  message(STATUS "mcs or nuget not found: no NuGet package")
  return()
endif()
# VeltoSound.Net.dll: not VeltoSound.dll, which is the native library's name
# on Windows and would land beside it in a program's folder.
set(VELTO_CSHARP_ASSEMBLY ${PROJECT_BINARY_DIR}/nuget/VeltoSound.Net.dll)
add_custom_command(OUTPUT ${VELTO_CSHARP_ASSEMBLY} VERBATIM
  DEPENDS ${PROJECT_SOURCE_DIR}/bindings/csharp/VeltoSound.cs
  COMMAND ${VELTO_MCS} -nologo -target:library -optimize+ -warn:4
    $<$<BOOL:${VELTO_WERROR}>:-warnaserror+> -nowarn:1591
    -doc:${PROJECT_BINARY_DIR}/nuget/VeltoSound.Net.xml
    -out:${VELTO_CSHARP_ASSEMBLY} ${PROJECT_SOURCE_DIR}/bindings/csharp/VeltoSound.cs)
# On Linux the package of the Linux library alone, built; the full one
# (both DLLs and the Linux library) by the 64-bit Windows build's tests, once
# the test command has built the 32-bit and the Linux presets.
set(VELTO_NUPKG ${PROJECT_BINARY_DIR}/nuget/VeltoSound.${PROJECT_VERSION}.nupkg)
set(pack ${CMAKE_COMMAND} -DNUGET=${VELTO_NUGET} -DVERSION=${PROJECT_VERSION}
  -DASSEMBLY=${VELTO_CSHARP_ASSEMBLY} -DSOURCE=${PROJECT_SOURCE_DIR} -DOUT=${VELTO_NUPKG})
if(NOT WIN32)
  set(VELTO_NUPKG_RUNTIMES linux-x64)
  add_custom_command(OUTPUT ${VELTO_NUPKG} VERBATIM
    DEPENDS ${VELTO_CSHARP_ASSEMBLY} ${VELTO_STRIPPED_LIBRARY} ${PROJECT_SOURCE_DIR}/cmake/pack-nuget.cmake
    COMMAND ${pack} -DRUNTIMES=linux-x64=${VELTO_STRIPPED_LIBRARY}
      -P ${PROJECT_SOURCE_DIR}/cmake/pack-nuget.cmake)
  add_custom_target(nuget_package ALL DEPENDS ${VELTO_NUPKG})
  return()
endif()
add_custom_target(csharp_assembly ALL DEPENDS ${VELTO_CSHARP_ASSEMBLY} ${VELTO_STRIPPED_LIBRARY})
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND VELTO_BUILD_TESTS)
  set(VELTO_LINUX_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/default
    CACHE PATH "Linux build whose library goes into the NuGet package's runtimes/linux-x64")
  set(VELTO_NUPKG_RUNTIMES win-x86,win-x64,linux-x64)
  add_test(NAME nuget_pack COMMAND ${pack} "-DRUNTIMES=\
win-x86=${VELTO_X86_BUILD_DIR}/stripped/VeltoSound.dll;win-x64=${VELTO_STRIPPED_LIBRARY};\
linux-x64=${VELTO_LINUX_BUILD_DIR}/stripped/libveltosound.so"
    -P ${PROJECT_SOURCE_DIR}/cmake/pack-nuget.cmake)
  set_tests_properties(nuget_pack PROPERTIES FIXTURES_SETUP nuget_package)
endif()
