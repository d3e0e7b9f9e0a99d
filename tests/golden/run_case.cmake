# Runs crdview on one golden case and compares its standard output, byte for
# byte, its standard error and its exit status with the recorded ones.
#   -DCRDVIEW=path -DEMULATOR=list (may be empty) -DCASE_DIR=dir -DCASE=name -DOUT_DIR=dir
# The help text names the program by its file name, which is crdview.exe on
# Windows: for a program file not named crdview, the two places in the expected
# help text that show the name,
# "\n\ncrdview [OPTION]" and "\n  crdview -e ", are compared with that file
# name instead. Every other byte is held to NAME.out.
# The arguments come from CASE.args, one a line; crdview runs in CASE_DIR, so
# fixtures are named by relative paths and the banner shows them as written.

cmake_minimum_required(VERSION 3.25)

file(STRINGS "${CASE_DIR}/${CASE}.args" case_args)
set(expected_status 0)
if(EXISTS "${CASE_DIR}/${CASE}.status")
  file(STRINGS "${CASE_DIR}/${CASE}.status" expected_status LIMIT_COUNT 1)
endif()

file(MAKE_DIRECTORY "${OUT_DIR}")
set(actual "${OUT_DIR}/${CASE}.actual")
# Under Wine, a program started while the machine is loaded now and then ends
# at once with status 1 and no output at all, before any of its own code has
# run: such a run is tried again, twice at most (a program that really ends
# so fails every time).
foreach(attempt RANGE 2)
  execute_process(
    COMMAND ${EMULATOR} "${CRDVIEW}" ${case_args}
    WORKING_DIRECTORY "${CASE_DIR}"
    OUTPUT_FILE "${actual}"
    ERROR_VARIABLE stderr_text
    RESULT_VARIABLE status)
  file(SIZE "${actual}" actual_size)
  if(NOT EMULATOR OR NOT status STREQUAL "1" OR actual_size GREATER 0 OR
     NOT stderr_text STREQUAL "")
    break()
  endif()
  message(STATUS "${CASE}: no output at all under ${EMULATOR}; running it again")
endforeach()

set(failed FALSE)
if(NOT "${status}" STREQUAL "${expected_status}")
  message(SEND_ERROR "${CASE}: exit status ${status}, expected ${expected_status}")
  set(failed TRUE)
endif()
set(expected "${CASE_DIR}/${CASE}.out")
get_filename_component(program_name "${CRDVIEW}" NAME)
# (Only the help cases: CMake strings would not carry every byte of a listing.)
if(NOT program_name STREQUAL "crdview" AND
   (expected_status STREQUAL "2" OR "--help" IN_LIST case_args OR "-h" IN_LIST case_args))
  file(READ "${expected}" help_text)
  string(REPLACE "\n\ncrdview [OPTION]" "\n\n${program_name} [OPTION]" help_text "${help_text}")
  string(REPLACE "\n  crdview -e " "\n  ${program_name} -e " help_text "${help_text}")
  set(expected "${OUT_DIR}/${CASE}.expected")
  file(WRITE "${expected}" "${help_text}")
endif()
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E compare_files "${expected}" "${actual}"
  RESULT_VARIABLE differs)
if(differs)
  message(SEND_ERROR "${CASE}: standard output differs from ${expected} (got ${actual})")
  set(failed TRUE)
endif()
set(expected_stderr "")
if(EXISTS "${CASE_DIR}/${CASE}.err")
  file(READ "${CASE_DIR}/${CASE}.err" expected_stderr)
endif()
if(NOT "${stderr_text}" STREQUAL "${expected_stderr}")
  message(SEND_ERROR "${CASE}: standard error \"${stderr_text}\", expected \"${expected_stderr}\"")
endif()
