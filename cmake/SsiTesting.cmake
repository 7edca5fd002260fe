# Helpers for declaring tests in both trees.
#
#   ssi_native_test(NAME src...  LIBS libs... [PREFIX p])  native GoogleTest program, discovered
#                                                 into CTest as p<suite>.<test> (p: "native.")
#   ssi_win32_test(NAME src...   LIBS libs...)   Win32 GoogleTest program (win32 tree only) -> bin/NAME.exe
#   ssi_wine_test(NAME EXE name.exe [ARGS a...]) CTest entry in the native tree that runs
#                                                 SSI_WIN32_BIN/name.exe under Wine
#   ssi_wine_script(NAME SCRIPT path [ARGS a...]) CTest entry running a shell script with the
#                                                 Wine environment (WINEPREFIX, DISPLAY) prepared,
#                                                 SSI_ARTIFACTS (a folder of this tree for the
#                                                 screenshots it keeps) set
#
# SSI_WIN32_BIN, the win32 tree's bin folder, is the caller's to say: the native
# preset sets it, or -DSSI_WIN32_BIN=..., or the environment's SSI_WIN32_BIN at the
# first configure. Without it the tree has no Wine tests (and says so).
#   ssi_wine_suite(NAME EXE name.exe LIST_FROM native_target)
#                                                 one CTest entry per test (wine.Suite.Test) of a
#                                                 Win32 GoogleTest program that runs under Wine
#                                                 once; the names are those of a native program
#                                                 built from the same test sources
#
# ssi_wine_suite's pieces run this file as a script (cmake -DSSI_ACTION=... -P):
#   run     runs the program once under Wine, its results into an XML file
#   list    writes the CTest entries from the native program's --gtest_list_tests
#   result  one entry: the test's outcome as that XML file records it

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(SSI_ACTION STREQUAL "run")
    # -DWINE_RUN -DEXE -DRESULTS. The program sees the results file on Wine's Z: drive (the
    # Linux root). Its own failures are recorded there; only a run without results fails.
    file(REMOVE ${RESULTS})
    string(REPLACE "/" "\\" results_windows "Z:${RESULTS}")
    execute_process(COMMAND ${WINE_RUN} ${EXE} --gtest_output=xml:${results_windows} RESULT_VARIABLE rc)
    if(NOT EXISTS ${RESULTS})
      message(FATAL_ERROR "${EXE} left no results (exit code ${rc})")
    endif()
    message(STATUS "${EXE} ran under Wine (exit code ${rc}); results in ${RESULTS}")
  elseif(SSI_ACTION STREQUAL "list")
    # -DPROGRAM -DOUTPUT -DRESULTS -DFIXTURE -DPREFIX
    execute_process(COMMAND ${PROGRAM} --gtest_list_tests OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${rc})")
    endif()
    string(REPLACE "\n" ";" lines "${listing}")
    set(script "")
    set(suite "")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE " *#.*" "" line "${line}")
      if(line MATCHES "^([^ ]+)\\.$")
        set(suite ${CMAKE_MATCH_1})
      elseif(line MATCHES "^  ([A-Za-z0-9_/]+)$")
        set(test ${CMAKE_MATCH_1})
        if(test MATCHES "^DISABLED_" OR suite MATCHES "^DISABLED_")
          continue()
        endif()
        set(name "${PREFIX}${suite}.${test}")
        string(APPEND script
          "add_test([=[${name}]=] \"${CMAKE_COMMAND}\" -DSSI_ACTION=result \"-DRESULTS=${RESULTS}\" "
          "-DSUITE=${suite} -DTEST=${test} -P \"${CMAKE_CURRENT_LIST_FILE}\")\n"
          "set_tests_properties([=[${name}]=] PROPERTIES FIXTURES_REQUIRED ${FIXTURE} LABELS wine "
          "SKIP_REGULAR_EXPRESSION \"\\\\[  SKIPPED \\\\]\")\n")
      endif()
    endforeach()
    file(WRITE ${OUTPUT} "${script}")
  elseif(SSI_ACTION STREQUAL "result")
    # -DRESULTS -DSUITE -DTEST
    if(NOT EXISTS ${RESULTS})
      message(FATAL_ERROR "no results in ${RESULTS}: the Wine run did not happen or did not finish")
    endif()
    file(READ ${RESULTS} xml)
    string(REGEX MATCH "<testcase name=\"${TEST}\"[^>]* classname=\"${SUITE}\"[^>]*>" head "${xml}")
    if(head STREQUAL "")
      message(FATAL_ERROR "${SUITE}.${TEST} did not run under Wine: the Win32 program lacks it")
    endif()
    if(head MATCHES "/>$")
      message(STATUS "[       OK ] ${SUITE}.${TEST}")
      return()
    endif()
    string(FIND "${xml}" "${head}" start)
    string(SUBSTRING "${xml}" ${start} -1 rest)
    string(FIND "${rest}" "</testcase>" end)
    string(SUBSTRING "${rest}" 0 ${end} body)
    if(body MATCHES "<failure")
      string(REGEX REPLACE "<!\\[CDATA\\[|\\]\\]>|<[^<>]*>" "" text "${body}")
      message(FATAL_ERROR "[  FAILED  ] ${SUITE}.${TEST}\n${text}")
    elseif(head MATCHES "result=\"skipped\"")
      string(REGEX REPLACE "<!\\[CDATA\\[|\\]\\]>|<[^<>]*>" "" text "${body}")
      message(STATUS "[  SKIPPED ] ${SUITE}.${TEST}\n${text}")
    else()
      message(STATUS "[       OK ] ${SUITE}.${TEST}")
    endif()
  endif()
  return()
endif()

if(NOT SSI_WIN32)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

set(SSI_WIN32_BIN "$ENV{SSI_WIN32_BIN}" CACHE PATH "Where the win32 tree puts its programs")
if(NOT SSI_WIN32 AND NOT SSI_WIN32_BIN)
  message(WARNING "SSI_WIN32_BIN is not set: this tree has no Wine tests (configure with --preset native, "
                  "or -DSSI_WIN32_BIN=<the win32 tree>/bin)")
endif()
set(SSI_WINE_RUN "${CMAKE_SOURCE_DIR}/scripts/wine-run")
set(SSI_TESTING_FILE "${CMAKE_CURRENT_LIST_FILE}")

function(ssi_native_test name)
  if(SSI_WIN32)
    return()
  endif()
  cmake_parse_arguments(T "" "PREFIX" "SOURCES;LIBS" ${ARGN})
  if(NOT T_PREFIX)
    set(T_PREFIX "native.")
  endif()
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} TEST_PREFIX "${T_PREFIX}" DISCOVERY_TIMEOUT 60 PROPERTIES LABELS native)
endfunction()

function(ssi_win32_test name)
  if(NOT SSI_WIN32)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ssi_gtest)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()

function(ssi_wine_test name)
  if(SSI_WIN32 OR NOT SSI_WIN32_BIN)
    return()
  endif()
  cmake_parse_arguments(T "" "EXE" "ARGS" ${ARGN})
  add_test(NAME wine.${name} COMMAND ${SSI_WINE_RUN} ${SSI_WIN32_BIN}/${T_EXE} ${T_ARGS})
  set_tests_properties(wine.${name} PROPERTIES LABELS wine TIMEOUT 600 RESOURCE_LOCK wine)
endfunction()

function(ssi_wine_script name)
  if(SSI_WIN32 OR NOT SSI_WIN32_BIN)
    return()
  endif()
  cmake_parse_arguments(T "" "SCRIPT" "ARGS" ${ARGN})
  add_test(NAME wine.${name} COMMAND ${SSI_WINE_RUN} --script ${T_SCRIPT} ${T_ARGS})
  set_tests_properties(wine.${name} PROPERTIES LABELS wine TIMEOUT 600 RESOURCE_LOCK wine
    ENVIRONMENT SSI_ARTIFACTS=${CMAKE_CURRENT_BINARY_DIR}/artifacts)
endfunction()

function(ssi_wine_suite name)
  if(SSI_WIN32 OR NOT SSI_WIN32_BIN)
    return()
  endif()
  cmake_parse_arguments(T "" "EXE;LIST_FROM" "" ${ARGN})
  set(results ${CMAKE_CURRENT_BINARY_DIR}/${name}-wine-results.xml)
  set(fixture wine_${name})
  # The one program start under Wine.
  add_test(NAME wine.${name}_run
           COMMAND ${CMAKE_COMMAND} -DSSI_ACTION=run -DWINE_RUN=${SSI_WINE_RUN} -DEXE=${SSI_WIN32_BIN}/${T_EXE}
                   -DRESULTS=${results} -P ${SSI_TESTING_FILE})
  set_tests_properties(wine.${name}_run PROPERTIES FIXTURES_SETUP ${fixture} LABELS wine TIMEOUT 900
                                                   RESOURCE_LOCK wine)
  # One entry per test, named as the native program lists them (as gtest_discover_tests
  # does, the list is written once the program is built and included by CTest).
  set(entries ${CMAKE_CURRENT_BINARY_DIR}/${name}-wine-tests.cmake)
  add_custom_command(TARGET ${T_LIST_FROM} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DSSI_ACTION=list -DPROGRAM=$<TARGET_FILE:${T_LIST_FROM}> -DOUTPUT=${entries}
            -DRESULTS=${results} -DFIXTURE=${fixture} -DPREFIX=wine. -P ${SSI_TESTING_FILE}
    BYPRODUCTS ${entries}
    VERBATIM)
  set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${name}-wine-include.cmake)
  file(WRITE ${include_file}
    "if(EXISTS \"${entries}\")\n"
    "  include(\"${entries}\")\n"
    "else()\n"
    "  add_test(wine.${name}_NOT_BUILT ${CMAKE_COMMAND} -E echo \"${T_LIST_FROM} is not built\")\n"
    "  set_tests_properties(wine.${name}_NOT_BUILT PROPERTIES WILL_FAIL TRUE)\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()
