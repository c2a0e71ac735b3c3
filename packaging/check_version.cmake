# Runs PROGRAM --version: it must end with status 0 and print EXPECTED and
# nothing else, since scripts and the package's users read that line.
execute_process(COMMAND ${PROGRAM} --version
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --version ended with ${status}: ${err}")
endif()
if(NOT out STREQUAL "${EXPECTED}\n")
  message(FATAL_ERROR "${PROGRAM} --version printed [${out}], expected [${EXPECTED}]")
endif()
message(STATUS "${out}")
