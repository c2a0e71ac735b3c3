# db2csv's CSV on standard output must be byte for byte the CSV it writes
# into a file: a stream that turns line ends into CRLF breaks the rows'
# own CRLF. Run with -DPROGRAM=<db2csv> -DWORK=<scratch dir>, and
# -DEMULATOR=<runner> for a cross-built program.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
# An empty database is enough: the header row alone ends in CRLF.
file(WRITE "${WORK}/qn.db1" "")

# Into a file, as OUTPUT_VARIABLE would take the CR out of every CRLF.
execute_process(COMMAND ${EMULATOR} "${PROGRAM}" qn.db1
  WORKING_DIRECTORY "${WORK}" OUTPUT_FILE "${WORK}/streamed.csv" RESULT_VARIABLE streamedStatus)
execute_process(COMMAND ${EMULATOR} "${PROGRAM}" -o written.csv qn.db1
  WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE writtenStatus)
if(NOT streamedStatus EQUAL 0 OR NOT writtenStatus EQUAL 0)
  message(FATAL_ERROR "db2csv failed: ${streamedStatus} to standard output, ${writtenStatus} to a file")
endif()

file(READ "${WORK}/written.csv" written HEX)
file(READ "${WORK}/streamed.csv" streamed HEX)
if(written STREQUAL "")
  message(FATAL_ERROR "db2csv wrote an empty file")
endif()
if(NOT streamed STREQUAL written)
  message(FATAL_ERROR "standard output differs from the file:\n  ${streamed}\n  ${written}")
endif()
