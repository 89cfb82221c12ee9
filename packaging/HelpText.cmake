# Writes what PROGRAM prints for --help to OUTPUT (run with cmake -P at build time), so that the
# installed documentation is always the program's own text.
execute_process(COMMAND "${PROGRAM}" --help OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "${PROGRAM} --help failed: ${result}")
endif()
