# Read by CTest before it runs the tests: registers one test per GoogleTest
# suite of the test program TALIX_TEST_PROGRAM (named "SUITE", run as
# PROGRAM --gtest_filter=SUITE.*, in TALIX_TEST_FOLDER), in the order the
# program lists them. A suite's cases then share one start of the program,
# as when the program runs alone: under the sanitizers a start, with its
# leak check at the end, costs more than most cases. The program fails such
# a test when any of its cases fails and names the case; a suite whose
# every case was skipped shows as skipped.
if(NOT EXISTS "${TALIX_TEST_PROGRAM}")
  # Not built: one test that fails and names the program.
  add_test("${TALIX_TEST_TARGET}_NOT_BUILT" "${TALIX_TEST_PROGRAM}")
  return()
endif()
execute_process(COMMAND "${TALIX_TEST_PROGRAM}" --gtest_list_tests
                WORKING_DIRECTORY "${TALIX_TEST_FOLDER}"
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TALIX_TEST_PROGRAM} --gtest_list_tests failed (${status}):\n${listing}${errors}")
endif()
# A suite's line starts at the margin and ends its name with a full stop
# (a typed suite's line goes on with a comment); its cases are indented.
# List separators in the output (a parameter's value may hold one) are
# taken out first: no suite name holds one.
string(REPLACE ";" " " listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(suites "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([^ #][^ ]*)\\.( .*)?$")
    list(APPEND suites "${CMAKE_MATCH_1}")
  endif()
endforeach()
if(NOT suites)
  message(FATAL_ERROR "${TALIX_TEST_PROGRAM} lists no tests")
endif()
foreach(suite IN LISTS suites)
  # Test names are the suites' own: two programs must not share a suite.
  list(FIND TALIX_REGISTERED_SUITES "${suite}" known)
  if(NOT known EQUAL -1)
    message(FATAL_ERROR "the suite ${suite} of ${TALIX_TEST_PROGRAM} is a suite of another test program too")
  endif()
  list(APPEND TALIX_REGISTERED_SUITES "${suite}")
  add_test("${suite}" "${TALIX_TEST_PROGRAM}" "--gtest_filter=${suite}.*")
  # The programs exit 77 when every case they ran was skipped.
  set_tests_properties("${suite}" PROPERTIES WORKING_DIRECTORY "${TALIX_TEST_FOLDER}" SKIP_RETURN_CODE 77)
endforeach()
