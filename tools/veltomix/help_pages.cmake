# Writes veltomix's manual page and bash completion from what the program
# says about itself, so neither can drift from the help.
# Run with -DVELTOMIX=<program> -DTEMPLATE_DIR=<this directory> -DOUT=<directory>
# -DVERSION=<version>.

function(help_of out_var)
  execute_process(COMMAND ${VELTOMIX} ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE exit)
  if(NOT exit EQUAL 0)
    message(FATAL_ERROR "veltomix ${ARGN}: exit ${exit}")
  endif()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# Roff: a backslash is \e, and a line may not start with . or '.
function(roff_escape out_var text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

help_of(overview --help)
help_of(exports --list-exports)

# The command names: the first word of each line indented by two spaces
# under "Commands".
string(REGEX MATCH "Commands[^\n]*\n(.*)Controls:" commands_block "${overview}")
string(REGEX MATCHALL "\n  [a-z]+" command_lines "\n${CMAKE_MATCH_1}")
set(commands "")
foreach(line IN LISTS command_lines)
  string(STRIP "${line}" name)
  list(APPEND commands ${name})
endforeach()
if(NOT commands)
  message(FATAL_ERROR "no commands found in veltomix --help")
endif()

string(REGEX MATCH "Controls: ([^\n]*)" _ "${overview}")
string(REPLACE ", " " " controls "${CMAKE_MATCH_1}")

string(REGEX MATCHALL "\n[0-9]+\t[A-Za-z_0-9]+" export_lines "\n${exports}")
set(export_names "")
foreach(line IN LISTS export_lines)
  string(REGEX REPLACE ".*\t" "" name "${line}")
  string(APPEND export_names " ${name}")
endforeach()

# Options of veltomix and of every command.
string(REGEX MATCHALL "--[a-z-]+" options "${overview}")
set(sections "")
foreach(command IN LISTS commands)
  help_of(command_help ${command} --help)
  string(REGEX MATCHALL "--[a-z-]+" command_options "${command_help}")
  list(APPEND options ${command_options})
  roff_escape(escaped "${command_help}")
  string(APPEND sections ".SS ${command}\n.nf\n${escaped}.fi\n")
endforeach()
list(REMOVE_DUPLICATES options)
list(SORT options)
string(REPLACE ";" " " options "${options}")
string(REPLACE ";" " " commands "${commands}")

roff_escape(overview_escaped "${overview}")
string(TIMESTAMP today "%Y-%m-%d" UTC)
file(WRITE ${OUT}/veltomix.1
".TH VELTOMIX 1 \"${today}\" \"veltomix ${VERSION}\" \"User Commands\"
.SH NAME
veltomix \\- the VeltoSound mixer from the command line
.SH SYNOPSIS
.B veltomix
[\\fIOPTIONS\\fR] [\\fICALL\\fR | \\fICOMMAND\\fR ...]
.SH DESCRIPTION
.nf
${overview_escaped}.fi
.SH COMMANDS
${sections}.SH SEE ALSO
The user guide, docs/user-guide.md, with worked examples of every command.
")

configure_file(${TEMPLATE_DIR}/veltomix.bash.in ${OUT}/veltomix.bash @ONLY)
