# Stands for the tests that need TOOL, which is not installed: prints that
# they are skipped (the test's SKIP_REGULAR_EXPRESSION), or fails when the
# environment says CI=true, where no test may be left out.
#   cmake -DTOOL=name -P missing_tool.cmake
if("$ENV{CI}" STREQUAL "true")
  message(FATAL_ERROR "${TOOL} is not installed, and with CI=true no test is skipped")
endif()
message("${TOOL} is not installed: skipped")
