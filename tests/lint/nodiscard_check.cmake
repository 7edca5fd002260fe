# Dropped result codes: every function that returns a Result is
# [[nodiscard]], and warnings are errors, so GCC refuses a caller that drops
# one. GCC 12 does not look at calls through a virtual function (every call
# of the OS seam), so this check runs clang, which does, over the product's
# sources with nothing but a dropped result as an error:
#   cmake -DCLANG=clang++ -DSOURCE_DIR=... -DBINARY_DIR=... [-DMINGW_CXX_INCLUDE=... -DMINGW_DEPS_INCLUDE=...] -P nodiscard_check.cmake
# Sources for Windows only are checked against the mingw-w64 headers when
# MINGW_CXX_INCLUDE names its C++ headers (MINGW_DEPS_INCLUDE: libjpeg's). The planted caller
# tests/lint/dropped_result.cpp must be refused, and accepted once it says why.
# The tree writes its generated headers (core/build_constants.h) below BINARY_DIR/generated.
set(flags -std=c++17 -fsyntax-only -Wno-everything -Werror=unused-result -I${SOURCE_DIR} -I${BINARY_DIR}
          -I${BINARY_DIR}/generated)

file(GLOB portable ${SOURCE_DIR}/core/*.cpp ${SOURCE_DIR}/platform/*.cpp ${SOURCE_DIR}/platform/fake/*.cpp
     ${SOURCE_DIR}/saver/*.cpp ${SOURCE_DIR}/flash/*.cpp ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/package/*.cpp
     ${SOURCE_DIR}/tools/saverpack/*.cpp)
file(GLOB windows ${SOURCE_DIR}/platform/win32/*.cpp ${SOURCE_DIR}/app/winmain.cpp
     ${SOURCE_DIR}/app/exception_free_runtime.cpp)
list(REMOVE_ITEM portable ${windows})

set(failed 0)
function(check file)
  execute_process(COMMAND ${CLANG} ${flags} ${ARGN} ${file} RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_VARIABLE out)
  if(NOT rc EQUAL 0)
    message("${err}${out}")
    set(failed 1 PARENT_SCOPE)
  endif()
endfunction()

foreach(f ${portable})
  check(${f})
endforeach()
if(MINGW_CXX_INCLUDE AND EXISTS "${MINGW_CXX_INCLUDE}")
  foreach(f ${windows})
    check(${f} --target=i686-w64-mingw32 -isystem ${MINGW_CXX_INCLUDE}
          -isystem ${MINGW_CXX_INCLUDE}/i686-w64-mingw32 -isystem ${MINGW_DEPS_INCLUDE})
  endforeach()
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
message("no result dropped without ignoreResult")
