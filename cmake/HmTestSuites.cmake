# Run by CTest (from the include file hm_test writes) before the tests start: lists the
# cases of a test program and writes one CTest test per test suite, "<Suite>.*", which runs
# that suite's cases in one process. Under the sanitizers a program's start and exit (the
# loader's relocations, the globals' registration, the leak scan) cost about half a second
# of processor time, more than most cases; a suite per process pays it once per suite.
# Cases named DISABLED_ are listed as disabled tests of their own, as gtest leaves them out.
# Variables: EXE, CTEST_FILE, WORKDIR, PROGRAM, and for every suite TIMEOUT (seconds per
# case), ENVIRONMENT (a list) and LABELS (a list, may be empty). A suite whose every case skipped itself
# exits with 77 (tests/support/TestMain.cpp), which CTest shows as skipped.

function(hm_quote out value)
  set(${out} "[==[${value}]==]" PARENT_SCOPE)
endfunction()

execute_process(COMMAND "${EXE}" --gtest_list_tests
  WORKING_DIRECTORY "${WORKDIR}"
  OUTPUT_VARIABLE listing ERROR_VARIABLE listing_err RESULT_VARIABLE rc TIMEOUT 60)

hm_quote(q_exe "${EXE}")
hm_quote(q_dir "${WORKDIR}")
set(script "")
if(NOT rc EQUAL 0)
  # The program cannot list its cases: one test that runs it whole, so that the failure
  # shows in the results rather than as fewer tests.
  message(WARNING "${PROGRAM}: --gtest_list_tests failed (${rc}): ${listing_err}")
  hm_quote(q_name "${PROGRAM}")
  string(APPEND script "add_test(${q_name} ${q_exe})\n"
    "set_tests_properties(${q_name} PROPERTIES WORKING_DIRECTORY ${q_dir})\n")
  file(WRITE "${CTEST_FILE}" "${script}")
  return()
endif()

string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(suites "")
set(suite "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([^ #][^ ]*)\\.( +#.*)?$")
    set(suite "${CMAKE_MATCH_1}")
    set(count_${suite} 0)
    set(disabled_${suite} "")
    list(APPEND suites "${suite}")
  elseif(suite AND line MATCHES "^  ([^ ]+)( +#.*)?$")
    set(test "${CMAKE_MATCH_1}")
    if(suite MATCHES "^DISABLED_" OR test MATCHES "^DISABLED_")
      list(APPEND disabled_${suite} "${test}")
    else()
      math(EXPR count_${suite} "${count_${suite}} + 1")
    endif()
  endif()
endforeach()

list(APPEND ENVIRONMENT HM_ALL_SKIPPED_EXIT=77)
hm_quote(q_env "${ENVIRONMENT}")
set(props " ENVIRONMENT ${q_env} SKIP_RETURN_CODE 77")
if(LABELS)
  hm_quote(q_labels "${LABELS}")
  string(APPEND props " LABELS ${q_labels}")
endif()
foreach(suite IN LISTS suites)
  if(count_${suite} GREATER 0)
    hm_quote(q_name "${suite}.*")
    hm_quote(q_filter "--gtest_filter=${suite}.*")
    # The suite's share of the program's time: the longest start first, so that the
    # processors finish together.
    # Each case keeps the time it had in a process of its own: on a machine busy with
    # other work a suite of slow cases can take many times its quiet time.
    math(EXPR timeout "${TIMEOUT} * ${count_${suite}}")
    string(APPEND script "add_test(${q_name} ${q_exe} ${q_filter})\n"
      "set_tests_properties(${q_name} PROPERTIES WORKING_DIRECTORY ${q_dir} COST ${count_${suite}} TIMEOUT ${timeout}${props})\n")
  endif()
  foreach(test IN LISTS disabled_${suite})
    hm_quote(q_name "${suite}.${test}")
    hm_quote(q_filter "--gtest_filter=${suite}.${test}")
    string(APPEND script "add_test(${q_name} ${q_exe} ${q_filter} --gtest_also_run_disabled_tests)\n"
      "set_tests_properties(${q_name} PROPERTIES WORKING_DIRECTORY ${q_dir} DISABLED TRUE)\n")
  endforeach()
endforeach()
file(WRITE "${CTEST_FILE}" "${script}")
