# Runs crdview on one golden case and compares its standard output, byte for
# byte, and its exit status with the recorded ones.
#   -DCRDVIEW=path -DEMULATOR=list (may be empty) -DCASE_DIR=dir -DCASE=name -DOUT_DIR=dir
# The arguments come from CASE.args, one a line; crdview runs in CASE_DIR, so
# fixtures are named by relative paths and the banner shows them as written.

file(STRINGS "${CASE_DIR}/${CASE}.args" case_args)
set(expected_status 0)
if(EXISTS "${CASE_DIR}/${CASE}.status")
  file(STRINGS "${CASE_DIR}/${CASE}.status" expected_status LIMIT_COUNT 1)
endif()

file(MAKE_DIRECTORY "${OUT_DIR}")
set(actual "${OUT_DIR}/${CASE}.actual")
execute_process(
  COMMAND ${EMULATOR} "${CRDVIEW}" ${case_args}
  WORKING_DIRECTORY "${CASE_DIR}"
  OUTPUT_FILE "${actual}"
  ERROR_VARIABLE stderr_text
  RESULT_VARIABLE status)

set(failed FALSE)
if(NOT "${status}" STREQUAL "${expected_status}")
  message(SEND_ERROR "${CASE}: exit status ${status}, expected ${expected_status}")
  set(failed TRUE)
endif()
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E compare_files "${CASE_DIR}/${CASE}.out" "${actual}"
  RESULT_VARIABLE differs)
if(differs)
  message(SEND_ERROR "${CASE}: standard output differs from ${CASE}.out (got ${actual})")
  set(failed TRUE)
endif()
if(NOT "${stderr_text}" STREQUAL "")
  message(SEND_ERROR "${CASE}: unexpected standard error: ${stderr_text}")
endif()
