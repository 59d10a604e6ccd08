# Runs kp-sim on built-in scenarios and checks that every file each run
# writes is byte for byte the one recorded in the reference digests, and that
# the run writes no file the reference lacks. A digest of "-" marks a file that
# shows the build's date (the about screen): it must be written, but it is the
# same only between runs of one build. With RUNS=2 each scenario is run
# twice and both runs are checked.
#
#   cmake -DKP_SIM=... -DDIGESTS=... -DWORK_DIR=... -DSCENARIOS="a;b" [-DRUNS=2] -P check_outputs.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var KP_SIM DIGESTS WORK_DIR SCENARIOS)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "check_outputs: ${var} is not set")
  endif()
endforeach()
if(NOT DEFINED RUNS)
  set(RUNS 1)
endif()

file(STRINGS "${DIGESTS}" lines)
set(problems "")
foreach(scenario IN LISTS SCENARIOS)
  # The reference for this scenario: file name -> digest.
  set(expected_files "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^([0-9a-f]+|-)  ${scenario}/(.+)$")
      list(APPEND expected_files "${CMAKE_MATCH_2}")
      set("want_${CMAKE_MATCH_2}" "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  if(expected_files STREQUAL "")
    string(APPEND problems "\n  ${scenario}: no reference digests")
    continue()
  endif()

  foreach(run RANGE 1 ${RUNS})
    set(out "${WORK_DIR}/${scenario}-${run}")
    file(REMOVE_RECURSE "${out}")
    execute_process(COMMAND "${KP_SIM}" run "${scenario}" --out "${out}"
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      string(APPEND problems "\n  ${scenario} (run ${run}): kp-sim exited with ${rc}: ${err}")
      continue()
    endif()
    file(GLOB_RECURSE written RELATIVE "${out}" "${out}/*")
    foreach(f IN LISTS written)
      if(NOT f IN_LIST expected_files)
        string(APPEND problems "\n  ${scenario} (run ${run}): ${f} is not in the reference")
      endif()
    endforeach()
    foreach(f IN LISTS expected_files)
      if(NOT EXISTS "${out}/${f}")
        string(APPEND problems "\n  ${scenario} (run ${run}): ${f} was not written")
        continue()
      endif()
      if(want_${f} STREQUAL "-")
        continue()  # shows the build's date: written, but not the same from day to day
      endif()
      file(SHA256 "${out}/${f}" got)
      if(NOT got STREQUAL want_${f})
        string(APPEND problems "\n  ${scenario} (run ${run}): ${f} differs from the reference")
      endif()
    endforeach()
    file(REMOVE_RECURSE "${out}")
  endforeach()
  foreach(f IN LISTS expected_files)
    unset("want_${f}")
  endforeach()
endforeach()

if(NOT problems STREQUAL "")
  message(FATAL_ERROR "outputs differ from the reference:${problems}")
endif()
message(STATUS "outputs of ${SCENARIOS} match the reference (${RUNS} run(s) each)")
