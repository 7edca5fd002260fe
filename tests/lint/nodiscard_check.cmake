# Dropped result codes: every function that returns a Result (or another
# result or exit code) is [[nodiscard]], and warnings are errors, so GCC
# refuses a caller that drops one. GCC 12 does not look at calls through a
# virtual function (every call of the OS seam), so this check runs clang,
# which does, over every source of the tree (product, codec, tools, tests)
# with nothing but a dropped result as an error:
#   cmake -DCLANG=clang++ -DSOURCE_DIR=... -DBINARY_DIR=... [-DMINGW_CXX_INCLUDE=... -DMINGW_DEPS_INCLUDE=...
#         -DMINGW_GTEST_INCLUDE=... -DTOML11_DIR=...] -P nodiscard_check.cmake
# Sources for Windows only are checked against the mingw-w64 headers when
# MINGW_CXX_INCLUDE names its C++ headers (MINGW_DEPS_INCLUDE: libjpeg's;
# MINGW_GTEST_INCLUDE: GoogleTest's, for the Win32 test programs; TOML11_DIR:
# the folder holding toml.hpp, for the tools, which are Windows programs too).
# The planted caller tests/lint/dropped_result.cpp must be refused, and
# accepted once it says why.
# The tree writes its generated headers (core/build_constants.h) below BINARY_DIR/generated.
set(flags -std=c++17 -fsyntax-only -Wno-everything -Werror=unused-result -ferror-limit=0 -I${SOURCE_DIR} -I${BINARY_DIR}
          -I${BINARY_DIR}/generated)
# The codec tests and the benchmark read their data below the source tree.
set(test_flags "-DSSI_SOURCE_DIR=\"${SOURCE_DIR}\"")

file(GLOB portable ${SOURCE_DIR}/core/*.cpp ${SOURCE_DIR}/codec/*.cpp ${SOURCE_DIR}/platform/*.cpp
     ${SOURCE_DIR}/platform/fake/*.cpp ${SOURCE_DIR}/saver/*.cpp ${SOURCE_DIR}/flash/*.cpp ${SOURCE_DIR}/app/*.cpp
     ${SOURCE_DIR}/package/*.cpp)
file(GLOB tools ${SOURCE_DIR}/tools/*/*.cpp)
file(GLOB windows ${SOURCE_DIR}/platform/win32/*.cpp ${SOURCE_DIR}/app/winmain.cpp
     ${SOURCE_DIR}/app/exception_free_runtime.cpp)
list(REMOVE_ITEM portable ${windows})

# Tests: every source below tests/ but the include check's fixtures (files
# that name headers which do not exist, on purpose: tests/lint/planted and
# tests/lint/kept) and the planted dropped result, checked on its own below.
# A test source that includes <windows.h>, a platform/win32/ header or the
# Wine tests' support is a Win32 program: it is checked with the Windows sources.
file(GLOB_RECURSE tests ${SOURCE_DIR}/tests/*.cpp)
list(FILTER tests EXCLUDE REGEX "/tests/lint/(planted|kept)/")
list(REMOVE_ITEM tests ${SOURCE_DIR}/tests/lint/dropped_result.cpp)
set(windows_tests)
foreach(f ${tests})
  file(STRINGS ${f} win32_includes REGEX "^#include [<\"](windows\\.h|platform/win32/|tests/wine/)")
  if(win32_includes)
    list(APPEND windows_tests ${f})
  endif()
endforeach()
if(windows_tests)
  list(REMOVE_ITEM tests ${windows_tests})
endif()

set(failed 0)
set(checked 0)
function(check file)
  execute_process(COMMAND ${CLANG} ${flags} ${ARGN} ${file} RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_VARIABLE out)
  math(EXPR n "${checked} + 1")
  set(checked ${n} PARENT_SCOPE)
  if(NOT rc EQUAL 0)
    message("${err}${out}")
    set(failed 1 PARENT_SCOPE)
  endif()
endfunction()

foreach(f ${portable} ${tools})
  check(${f})
endforeach()
foreach(f ${tests})
  check(${f} ${test_flags})
endforeach()
# The contract suite's double runs over a host folder, or (a second program)
# over files in memory.
check(${SOURCE_DIR}/tests/contract/contract_env_fake.cpp ${test_flags} -DSSI_CONTRACT_FILES_IN_MEMORY)

if(MINGW_CXX_INCLUDE AND EXISTS "${MINGW_CXX_INCLUDE}")
  set(mingw --target=i686-w64-mingw32 -isystem ${MINGW_CXX_INCLUDE} -isystem ${MINGW_CXX_INCLUDE}/i686-w64-mingw32
            -isystem ${MINGW_DEPS_INCLUDE})
  foreach(f ${windows})
    check(${f} ${mingw})
  endforeach()
  # The tools' Windows branches. The cross compiler must not see the rest of
  # /usr/include, so toml11 is reached through a folder of its own (as the
  # win32 tree does).
  if(TOML11_DIR AND EXISTS "${TOML11_DIR}/toml.hpp")
    set(toml_shim ${BINARY_DIR}/nodiscard-toml11)
    file(MAKE_DIRECTORY ${toml_shim})
    foreach(entry toml.hpp toml)
      if(NOT EXISTS ${toml_shim}/${entry})
        file(CREATE_LINK ${TOML11_DIR}/${entry} ${toml_shim}/${entry} SYMBOLIC)
      endif()
    endforeach()
    foreach(f ${tools})
      check(${f} ${mingw} -isystem ${toml_shim})
    endforeach()
  else()
    message("the tools' Windows branches not checked: toml11 not given")
  endif()
  # The Win32 test programs, with GoogleTest as the win32 tree builds it.
  if(MINGW_GTEST_INCLUDE AND EXISTS "${MINGW_GTEST_INCLUDE}/gtest/gtest.h")
    foreach(f ${windows_tests})
      check(${f} ${mingw} ${test_flags} -isystem ${MINGW_GTEST_INCLUDE}
            -include ${SOURCE_DIR}/platform/win32/gtest_mingw_threads.h)
    endforeach()
  else()
    message("Win32 test programs not checked: no GoogleTest headers given")
  endif()
else()
  message("Windows-only sources not checked: no mingw-w64 C++ headers given")
endif()

set(planted ${SOURCE_DIR}/tests/lint/dropped_result.cpp)
execute_process(COMMAND ${CLANG} ${flags} ${planted} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(rc EQUAL 0 OR NOT err MATCHES "dropped_result.cpp:12:[0-9]+: error: ignoring return value")
  message("the planted dropped result was not refused:\n${err}")
  set(failed 1)
endif()
execute_process(COMMAND ${CLANG} ${flags} -DSAYS_WHY ${planted} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message("the planted result ignored on purpose was refused:\n${err}")
  set(failed 1)
endif()

if(failed)
  message(FATAL_ERROR "results dropped without ignoreResult (see above)")
endif()
message("no result dropped without ignoreResult (${checked} checks)")
