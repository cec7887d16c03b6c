# A bounded libFuzzer session for ctest, seeded from copies of the committed corpus
# and regressions: what the session adds lands in the copies, never in the tree.
#   cmake -DFUZZER=<binary> -DCORPUS=<dir> -DREGRESSIONS=<dir> -DWORK=<dir>
#         -DSECONDS=<n> -P RunFuzzer.cmake
# Inputs run up to 9,000 bytes, the largest datagram the program reads, and one that
# takes over a second (the least libFuzzer can bound) counts as a failure: a LAN sends
# such packets by the thousand. On a crash, a broken property or a slow input the
# input is left in <WORK>/artifacts.

foreach(_var IN ITEMS FUZZER CORPUS REGRESSIONS WORK SECONDS)
  if(NOT DEFINED ${_var})
    message(FATAL_ERROR "RunFuzzer.cmake: ${_var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus" "${WORK}/regressions" "${WORK}/artifacts")
file(COPY "${CORPUS}/" DESTINATION "${WORK}/corpus")
file(COPY "${REGRESSIONS}/" DESTINATION "${WORK}/regressions" PATTERN "README.txt" EXCLUDE)

execute_process(
  COMMAND "${FUZZER}"
    -max_total_time=${SECONDS}
    -rss_limit_mb=2048
    -max_len=9000
    -timeout=1
    -print_final_stats=1
    -artifact_prefix=${WORK}/artifacts/
    "${WORK}/corpus" "${WORK}/regressions"
  RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} stopped with ${_result}; the input is in ${WORK}/artifacts")
endif()
