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
