# One place registers a test with ctest and sets the environment every test runs in.
#   netroscope_add_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [LABELS <labels...>]
#                       [SKIP_RETURN_CODE <code>])
# Tests link the libraries; they never compile application sources again.
set(NETROSCOPE_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;QT_LOGGING_RULES=qt.qpa.*=false")
# Read only by builds with AddressSanitizer; the file says which reports are not ours.
list(APPEND NETROSCOPE_TEST_ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
if(NETROSCOPE_TSAN)
  # Qt itself is not built with ThreadSanitizer; the file says which of its reports are false.
  list(APPEND NETROSCOPE_TEST_ENVIRONMENT
    "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp second_deadlock_stack=1")
endif()

function(netroscope_add_test)
  cmake_parse_arguments(T "" "NAME;SKIP_RETURN_CODE;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE netroscope_testsupport ${T_LIBS} Qt6::Test)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "${NETROSCOPE_TEST_ENVIRONMENT}"
    TIMEOUT 300)
  if(T_TIMEOUT)
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  endif()
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(DEFINED T_SKIP_RETURN_CODE)
    set_tests_properties(${T_NAME} PROPERTIES SKIP_RETURN_CODE ${T_SKIP_RETURN_CODE})
  endif()
endfunction()
