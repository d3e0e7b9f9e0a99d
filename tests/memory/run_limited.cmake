# Runs crdview on one generated card file under a limit on its virtual memory
# (ulimit -v) and checks its exit status (0) and, for the listing, compares
# its standard output with the expected one. FORMAT (json or csv) writes that
# format instead; PIPE=ON feeds the file through a pipe as standard input.
#   -DCRDVIEW=path -DDIR=dir -DCASE=name -DLIMIT_KB=kilobytes [-DFORMAT=json] [-DPIPE=ON]

set(actual "${DIR}/${CASE}.${FORMAT}${PIPE}.actual")
set(options "")
if(FORMAT)
  set(options "--format=${FORMAT} -e Windows-1251")
endif()
if(PIPE)
  set(command "ulimit -v ${LIMIT_KB} && cat \"$1\" | \"$0\" ${options} -")
else()
  set(command "ulimit -v ${LIMIT_KB} && exec \"$0\" ${options} \"$1\"")
endif()
execute_process(
  COMMAND sh -c "${command}" "${CRDVIEW}" "${CASE}.crd"
  WORKING_DIRECTORY "${DIR}"
  OUTPUT_FILE "${actual}"
  ERROR_VARIABLE stderr_text
  RESULT_VARIABLE status)
if(NOT "${status}" STREQUAL "0")
  message(FATAL_ERROR "${CASE}: exit status ${status} under ${LIMIT_KB} KiB: ${stderr_text}")
endif()
if(FORMAT)
  file(SIZE "${actual}" size)
  if(size EQUAL 0)
    message(FATAL_ERROR "${CASE}: no ${FORMAT} written")
  endif()
  return()
endif()
set(expected "${DIR}/${CASE}.out")
if(PIPE)
  # The banner shows the path as given: "-".
  file(READ "${expected}" listing)
  string(REPLACE "File ${CASE}.crd" "File -" listing "${listing}")
  set(expected "${actual}.expected")
  file(WRITE "${expected}" "${listing}")
endif()
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E compare_files "${expected}" "${actual}"
  RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "${CASE}: the listing differs from ${expected} (got ${actual})")
endif()
