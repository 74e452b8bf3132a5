# veltomix as a program: what only the real process shows. Run by ctest with
# -DVELTOMIX=<program> -DWORK=<scratch directory>.
# The examples run on the built-in sample, whatever the caller's environment
# names.
unset(ENV{VELTOSOUND_SYSTEM})
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run expected_exit)
  execute_process(COMMAND ${VELTOMIX} ${ARGN}
    RESULT_VARIABLE exit OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT exit EQUAL expected_exit)
    message(FATAL_ERROR "veltomix ${ARGN}: exit ${exit}, expected ${expected_exit}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_in text what)
  string(FIND "${text}" "${what}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected to find\n${what}\nin\n${text}")
  endif()
endfunction()

# stdout is a pipe here: `show` must not colour it.
run(0 open --default show)
string(ASCII 27 escape)
string(FIND "${out}" "${escape}" at)
if(NOT at EQUAL -1)
  message(FATAL_ERROR "show coloured a pipe:\n${out}")
endif()
expect_in("${out}" "master           [######--------------]     31%  unmuted")
expect_in("${err}" "playback    Speakers (Velto HD Audio)")

# The state carried from one invocation to the next through the description.
set(card ${WORK}/card.json)
run(0 --dump-system ${card})
run(0 --system ${card} --dump-system ${card} open --default set master 40)
run(0 --system ${card} open --default get master)
expect_in("${out}" "master: 40%  unmuted")

# --state keeps the card between runs by itself.
set(state ${WORK}/state.json)
run(0 --state ${state} open --default set master 40)
run(0 --state ${state} open --default set master +5 get master)
expect_in("${out}" "master: 46%  unmuted")

# Usage errors run nothing and exit 2; the other exit statuses say what failed.
run(2 --system ${card} --dump-system ${card} open --default set master 400)
run(2 open --playback velto)
expect_in("${err}" "'velto' fits 2 active playback endpoints")
run(3 get master)
expect_in("${err}" "no device is bound")
run(4 open --default get mic-boost)
run(5 capture --output ${WORK}/no-such-dir/x.json)
expect_in("${err}" "No such file or directory")

# Under --json stdout is one JSON document per line, the dumped system too.
run(0 --json --dump-system - open --default show)
string(REPLACE "\n" ";" lines "${out}")
foreach(line IN LISTS lines)
  if(line)
    string(JSON kind ERROR_VARIABLE problem GET "${line}" command)
    if(problem)
      message(FATAL_ERROR "not one JSON document: ${line}")
    endif()
  endif()
endforeach()
expect_in("${out}" "{\"command\":\"dump-system\"")

# A captured system replays.
run(0 capture --output ${WORK}/captured.json)
run(0 --system ${WORK}/captured.json open --default get bass)
expect_in("${out}" "bass: +3 dB")
