# Test helpers, included once by the top-level CMakeLists.txt.

# A whole program as a process: exact standard output against
# tests/expected/EXPECTED, empty standard error, exit status EXIT_CODE.
# RUNNER (the emulator, valgrind, or empty) runs the program; its list
# travels joined by '|' through -D. An extra argument names a path that
# must be absent for the output to hold.
function(tervane_program_test name program expected exit_code runner)
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND}
      -DPROGRAM=${program}
      "-DABSENT=${ARGN}"
      -DEXPECTED=${PROJECT_SOURCE_DIR}/tests/expected/${expected}
      -DACTUAL=${CMAKE_CURRENT_BINARY_DIR}/${name}.actual
      -DEXIT_CODE=${exit_code}
      "-DEMULATOR=$<JOIN:${runner},|>"
      -P ${PROJECT_SOURCE_DIR}/cmake/run_program.cmake)
endfunction()

# The three programs' whole runs, named PREFIX<case>SUFFIX and labelled
# LABEL: tervane_1 and tervane_2 (exit 0), and device_client where there is
# no /dev/lurva (exit 1). DIR holds the programs (empty: the build's own);
# RUNNER as above. OUT gets the tests' names.
function(tervane_program_runs out prefix suffix label dir runner)
  set(names)
  foreach(case tervane_1 tervane_2 device_client_no_device)
    string(REPLACE "_no_device" "" program ${case})
    if(dir)
      set(path ${dir}/${program})
    else()
      set(path $<TARGET_FILE:${program}>)
    endif()
    if(program STREQUAL device_client)
      tervane_program_test(${prefix}${case}${suffix} ${path} ${case}.out 1 "${runner}" /dev/lurva)
    else()
      tervane_program_test(${prefix}${case}${suffix} ${path} ${case}.out 0 "${runner}")
    endif()
    list(APPEND names ${prefix}${case}${suffix})
  endforeach()
  set_tests_properties(${names} PROPERTIES LABELS ${label})
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# Every test's TIMEOUT allows about four times its time on a quiet 2-core
# machine. TERVANE_TIMEOUT_FACTOR (a whole number, read from the
# environment at each configure; 1 by default) multiplies them all for a
# slower or busier one; board/boot multiplies every boot's own limit by it.
set(TERVANE_TIMEOUT_FACTOR "$ENV{TERVANE_TIMEOUT_FACTOR}")
if(TERVANE_TIMEOUT_FACTOR STREQUAL "")
  set(TERVANE_TIMEOUT_FACTOR 1)
elseif(NOT TERVANE_TIMEOUT_FACTOR MATCHES "^[1-9][0-9]?$")
  message(FATAL_ERROR "TERVANE_TIMEOUT_FACTOR wants a whole number from 1 to 99, not '${TERVANE_TIMEOUT_FACTOR}'")
endif()

# Called first in each tests/ folder: when the folder is done, the
# TIMEOUT of each of its tests is multiplied by the factor.
macro(tervane_test_folder)
  cmake_language(DEFER CALL tervane_scale_timeouts)
endmacro()
function(tervane_scale_timeouts)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(t IN LISTS tests)
    get_test_property(${t} TIMEOUT s)
    if(s)
      math(EXPR s "${s} * ${TERVANE_TIMEOUT_FACTOR}")
      set_tests_properties(${t} PROPERTIES TIMEOUT ${s})
    endif()
  endforeach()
endfunction()
