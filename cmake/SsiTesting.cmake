# Helpers for declaring tests in both trees.
#
#   ssi_native_test(NAME src...  LIBS libs...)   native GoogleTest program, discovered into CTest
#   ssi_win32_test(NAME src...   LIBS libs...)   Win32 GoogleTest program (win32 tree only) -> bin/NAME.exe
#   ssi_wine_test(NAME EXE name.exe [ARGS a...]) CTest entry in the native tree that runs
#                                                 build/win32/bin/name.exe under Wine
#   ssi_wine_script(NAME SCRIPT path [ARGS a...]) CTest entry running a shell script with the
#                                                 Wine environment (WINEPREFIX, DISPLAY) prepared
if(NOT SSI_WIN32)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

set(SSI_WIN32_BIN "${CMAKE_SOURCE_DIR}/build/win32/bin" CACHE PATH "Where the win32 tree puts its programs")
set(SSI_WINE_RUN "${CMAKE_SOURCE_DIR}/scripts/wine-run")

function(ssi_native_test name)
  if(SSI_WIN32)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} TEST_PREFIX "native." DISCOVERY_TIMEOUT 60 PROPERTIES LABELS native)
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
  if(SSI_WIN32)
    return()
  endif()
  cmake_parse_arguments(T "" "EXE" "ARGS" ${ARGN})
  add_test(NAME wine.${name} COMMAND ${SSI_WINE_RUN} ${SSI_WIN32_BIN}/${T_EXE} ${T_ARGS})
  set_tests_properties(wine.${name} PROPERTIES LABELS wine TIMEOUT 600 RESOURCE_LOCK wine)
endfunction()

function(ssi_wine_script name)
  if(SSI_WIN32)
    return()
  endif()
  cmake_parse_arguments(T "" "SCRIPT" "ARGS" ${ARGN})
  add_test(NAME wine.${name} COMMAND ${SSI_WINE_RUN} --script ${T_SCRIPT} ${T_ARGS})
  set_tests_properties(wine.${name} PROPERTIES LABELS wine TIMEOUT 600 RESOURCE_LOCK wine)
endfunction()
