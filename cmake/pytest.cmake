# The pytest suites (the Python module, the documentation's examples) run
# under a Python that has pytest: the first python3 on PATH that has it, else
# Debian's /usr/bin/python3 (a PATH python, pyenv's say, may lack it).
#
# VELTO_PYTHON_TESTS: ON requires pytest, AUTO runs the suites when it is
# found, OFF leaves them out.
set(VELTO_PYTHON_TESTS AUTO CACHE STRING "Run the pytest suites: ON, AUTO (when pytest is found) or OFF")
set_property(CACHE VELTO_PYTHON_TESTS PROPERTY STRINGS ON AUTO OFF)

function(velto_find_pytest_python out)
  find_program(VELTO_PATH_PYTHON3 python3)
  foreach(candidate ${VELTO_PATH_PYTHON3} /usr/bin/python3)
    if(EXISTS ${candidate})
      execute_process(COMMAND ${candidate} -c "import pytest"
        RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
      if(NOT failed)
        set(${out} ${candidate} PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

set(VELTO_PYTEST_PYTHON "")
if(NOT VELTO_PYTHON_TESTS STREQUAL "OFF")
  velto_find_pytest_python(VELTO_PYTEST_PYTHON)
  if(NOT VELTO_PYTEST_PYTHON)
    if(VELTO_PYTHON_TESTS STREQUAL "ON")
      message(FATAL_ERROR "VELTO_PYTHON_TESTS is ON but no python3 has pytest (Debian: python3-pytest)")
    endif()
    message(STATUS "pytest not found: the Python module's and the documentation's tests are left out")
  endif()
endif()

# velto_add_pytest(NAME name DIRECTORY dir [ENVIRONMENT var=value...])
function(velto_add_pytest)
  cmake_parse_arguments(ARG "" "NAME;DIRECTORY" "ENVIRONMENT" ${ARGN})
  if(NOT VELTO_PYTEST_PYTHON)
    return()
  endif()
  add_test(NAME ${ARG_NAME}
    COMMAND ${VELTO_PYTEST_PYTHON} -m pytest -q -p no:cacheprovider ${ARG_DIRECTORY}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT 600
    ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1;${ARG_ENVIRONMENT}")
endfunction()
