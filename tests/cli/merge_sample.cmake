# Runs ombrix-merge on the sample lists with one policy and compares the result byte for byte.
# Expects PROGRAM, DATA, WORK and POLICY.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${DATA}/file_to_update.ini" "${DATA}/new_keys.ini" DESTINATION "${WORK}")

# EMULATOR runs the program when it was built for another system (Wine for Windows), else it is empty.
execute_process(
  COMMAND ${EMULATOR} "${PROGRAM}" --policy "${POLICY}" -o "${WORK}/merged.ini" "${WORK}/new_keys.ini" "${WORK}/file_to_update.ini"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ombrix-merge exited with ${status}: ${output}")
endif()

foreach(pair "merged.ini;expected-${POLICY}.ini" "file_to_update.ini;file_to_update.ini")
  list(GET pair 0 actual)
  list(GET pair 1 expected)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${WORK}/${actual}" "${DATA}/${expected}"
                  RESULT_VARIABLE different)
  if(different)
    message(FATAL_ERROR "${actual} differs from ${expected}")
  endif()
endforeach()

set(counts_replace-all 6)
set(counts_keep-playable 3)
set(counts_keep-existing 2)
string(REPLACE "\r\n" "\n" output "${output}")
if(NOT output MATCHES "(^|\n)${counts_${POLICY}} lines changed\\.\n$")
  message(FATAL_ERROR "unexpected output: ${output}")
endif()
file(REMOVE_RECURSE "${WORK}")
