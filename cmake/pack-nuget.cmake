# Makes the NuGet package of the C# bindings with Mono's nuget: the assembly
# (and its documentation) under lib/net45, each native library under
# runtimes/<RID>/native, as .NET looks for them.
#
# cmake -DNUGET=nuget -DVERSION=1.0.0 -DASSEMBLY=VeltoSound.Net.dll -DSOURCE=<repository>
#       -DOUT=VeltoSound.1.0.0.nupkg "-DRUNTIMES=linux-x64=libveltosound.so;win-x64=VeltoSound.dll"
#       -P pack-nuget.cmake
get_filename_component(out_dir "${OUT}" DIRECTORY)
set(stage "${OUT}.stage")
file(REMOVE_RECURSE "${stage}")
string(REGEX REPLACE "\\.dll$" ".xml" documentation "${ASSEMBLY}")
file(COPY "${ASSEMBLY}" "${documentation}" DESTINATION "${stage}/lib/net45")
file(COPY "${SOURCE}/LICENSE" DESTINATION "${stage}")
foreach(runtime IN LISTS RUNTIMES)
  string(REGEX MATCH "^([^=]+)=(.+)$" matched "${runtime}")
  if(NOT EXISTS "${CMAKE_MATCH_2}")
    message(FATAL_ERROR "no library for ${CMAKE_MATCH_1}: ${CMAKE_MATCH_2} (build its preset first)")
  endif()
  file(COPY "${CMAKE_MATCH_2}" DESTINATION "${stage}/runtimes/${CMAKE_MATCH_1}/native")
endforeach()
file(WRITE "${stage}/VeltoSound.nuspec" "<?xml version=\"1.0\"?>
<package>
  <metadata>
    <id>VeltoSound</id>
    <version>${VERSION}</version>
    <title>VeltoSound</title>
    <authors>VeltoSound</authors>
    <licenseUrl>https://opensource.org/licenses/MIT</licenseUrl>
    <description>C# bindings of VeltoSound, a flat sound-card mixer library: list endpoints, bind playback, microphone and line-in devices, read and set their volumes, mutes, tone controls and microphone boost. Holds the managed assembly VeltoSound.Net.dll and the native library for each runtime (VeltoSound.dll for win-x86 and win-x64, libveltosound.so for linux-x64).</description>
    <tags>audio mixer volume coreaudio</tags>
  </metadata>
  <files>
    <file src=\"lib/**\" target=\"lib\" />
    <file src=\"runtimes/**\" target=\"runtimes\" />
    <file src=\"LICENSE\" target=\"LICENSE\" />
  </files>
</package>
")
file(REMOVE "${OUT}")
execute_process(COMMAND "${NUGET}" pack "${stage}/VeltoSound.nuspec" -BasePath "${stage}"
    -OutputDirectory "${stage}" -NoPackageAnalysis -NonInteractive
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(RENAME "${stage}/VeltoSound.${VERSION}.nupkg" "${OUT}")
