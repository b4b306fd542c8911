# Runs PROGRAM (through EMULATOR, '|'-separated, when given) and checks its
# whole standard output against the file EXPECTED byte for byte, that its
# standard error is empty and that it exits with EXIT_CODE. ABSENT names a
# path that must not exist for the expected output to hold. The output is
# kept in ACTUAL, so a difference is shown as a unified diff.
if(ABSENT AND EXISTS "${ABSENT}")
  message(FATAL_ERROR "${ABSENT} exists on this machine; this test needs it absent")
endif()

string(REPLACE "|" ";" emulator "${EMULATOR}")
execute_process(COMMAND ${emulator} ${PROGRAM}
  INPUT_FILE /dev/null
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
file(READ ${EXPECTED} expected)
file(WRITE ${ACTUAL} "${out}")

set(failed "")
if(NOT out STREQUAL expected)
  # Straight to the test's output: message() would reflow the diff.
  execute_process(COMMAND diff -u --label "expected ${EXPECTED}" --label "actual ${PROGRAM}"
    ${EXPECTED} ${ACTUAL})
  string(APPEND failed "standard output differs (diff above). After an intended change of "
    "the output, update the expected file: cp ${ACTUAL} ${EXPECTED}\n")
endif()
if(NOT err STREQUAL "")
  string(APPEND failed "standard error is not empty:\n${err}\n")
endif()
if(NOT rc STREQUAL EXIT_CODE)
  string(APPEND failed "exit status ${rc}, expected ${EXIT_CODE}\n")
endif()
if(failed)
  message(FATAL_ERROR "${PROGRAM}:\n${failed}")
endif()
