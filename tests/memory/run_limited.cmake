# Runs crdview on one generated card file under a limit on its virtual memory
# (ulimit -v) and compares its exit status (0) and standard output with the
# expected listing.
#   -DCRDVIEW=path -DDIR=dir -DCASE=name -DLIMIT_KB=kilobytes

set(actual "${DIR}/${CASE}.actual")
execute_process(
  COMMAND sh -c "ulimit -v ${LIMIT_KB} && exec \"$0\" \"$1\"" "${CRDVIEW}" "${CASE}.crd"
  WORKING_DIRECTORY "${DIR}"
  OUTPUT_FILE "${actual}"
  ERROR_VARIABLE stderr_text
  RESULT_VARIABLE status)
if(NOT "${status}" STREQUAL "0")
  message(FATAL_ERROR "${CASE}: exit status ${status} under ${LIMIT_KB} KiB: ${stderr_text}")
endif()
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E compare_files "${DIR}/${CASE}.out" "${actual}"
  RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "${CASE}: the listing differs from ${CASE}.out (got ${actual})")
endif()
