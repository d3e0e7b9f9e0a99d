# Windows only: crdview.exe opens a card file named by an absolute path with a
# drive letter (Z:, which Wine maps to the root of the host), with backslashes
# and with mixed separators, and lists it exactly as when the file is named by
# a relative path; started by such a path, its help text shows the file name.
#   -DCRDVIEW=path -DEMULATOR=list (may be empty) -DCARD_FILE=path -DOUT_DIR=dir

file(MAKE_DIRECTORY "${OUT_DIR}")
get_filename_component(card_dir "${CARD_FILE}" DIRECTORY)
get_filename_component(card_name "${CARD_FILE}" NAME)

# The host path /a/b as the Windows path Z:\a\b.
string(REPLACE "/" "\\" drive_path "Z:${CARD_FILE}")
string(REPLACE "/" "\\" drive_program "Z:${CRDVIEW}")
# Z:\a\b/c: a backslash before the directory, a slash before the name.
string(REPLACE "/" "\\" drive_dir "Z:${card_dir}")
set(mixed_path "${drive_dir}/${card_name}")

# Runs crdview.exe on `arg` and checks it lists the file: exit status 0 and,
# behind the banner, the listing's bytes (as hex in `out_var`).
function(list_card_file program arg label out_var)
  set(actual "${OUT_DIR}/drive_paths.${label}")
  execute_process(
    COMMAND ${EMULATOR} "${program}" "${arg}"
    WORKING_DIRECTORY "${card_dir}"
    OUTPUT_FILE "${actual}"
    ERROR_VARIABLE stderr_text
    RESULT_VARIABLE status)
  if(NOT status STREQUAL "0" OR NOT stderr_text STREQUAL "")
    message(FATAL_ERROR "${arg}: exit status ${status}, standard error '${stderr_text}'")
  endif()
  set(banner "\nWindows Card File ${arg}")
  string(LENGTH "${banner}" banner_length)
  string(HEX "${banner}" banner_hex)
  file(READ "${actual}" head LIMIT ${banner_length} HEX)
  if(NOT head STREQUAL banner_hex)
    message(FATAL_ERROR "${arg}: the banner is not '${banner}' (got ${actual})")
  endif()
  file(READ "${actual}" listing OFFSET ${banner_length} HEX)
  set(${out_var} "${listing}" PARENT_SCOPE)
endfunction()

list_card_file("${CRDVIEW}" "${card_name}" relative relative_listing)
string(LENGTH "${relative_listing}" hex_length)
if(hex_length LESS 100)
  message(FATAL_ERROR "${card_name}: the listing is too short to compare")
endif()
foreach(form IN ITEMS drive_path mixed_path)
  list_card_file("${drive_program}" "${${form}}" ${form} listing)
  if(NOT listing STREQUAL relative_listing)
    message(FATAL_ERROR "${${form}}: the listing differs from that of ${card_name}")
  endif()
endforeach()

# The help text, with the program started as Z:\...\crdview.exe.
execute_process(
  COMMAND ${EMULATOR} "${drive_program}"
  OUTPUT_VARIABLE help_text
  RESULT_VARIABLE status)
get_filename_component(program_name "${CRDVIEW}" NAME)
string(FIND "${help_text}" "\n\n${program_name} [OPTION] file.\n" usage_at)
string(FIND "${help_text}" "\n  ${program_name} -e Windows-1251 file.CDR\n" example_at)
if(NOT status STREQUAL "2" OR usage_at EQUAL -1 OR example_at EQUAL -1)
  message(FATAL_ERROR "help via ${drive_program}: status ${status}, text '${help_text}'")
endif()
