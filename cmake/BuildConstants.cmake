# Numbers that the build, the programs and the scripts share, defined here
# once. Each tree writes them into generated/core/build_constants.h (on every
# target's include path); scripts/package-offset prints the offset for the
# scripts. Run as a script, the file writes the header into OUT:
#   cmake -DOUT=DIR -P cmake/BuildConstants.cmake    -> DIR/core/build_constants.h

# The package starts at this offset of the installer file; the program image
# is padded to exactly this many bytes (cmake/PadImage.cmake).
set(SSI_PACKAGE_OFFSET 675328)

function(ssi_write_build_constants dir)
  file(CONFIGURE OUTPUT ${dir}/core/build_constants.h @ONLY CONTENT [=[
// Written by CMake from cmake/BuildConstants.cmake: change the numbers there.
#pragma once

#include <cstdint>

namespace ssi::build {

// The package starts at this offset of the installer file.
constexpr int32_t kPackageOffset = @SSI_PACKAGE_OFFSET@;

}  // namespace ssi::build
]=])
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT OUT)
    message(FATAL_ERROR "BuildConstants: OUT (the folder to write into) is required")
  endif()
  ssi_write_build_constants(${OUT})
endif()
