// What the shell's answer to "start this program or document" means in the
// seam's one convention: 0 when it started, otherwise a Windows error number.
#pragma once

#include <cstdint>

#include "core/result_codes.h"

namespace ssi {

// The shell answers with a value above 32 when the program or document was
// started, and with its own error value (0 to 32) when it was not. Values up
// to 25 are Windows error numbers already (2 file not found, 3 path not found,
// 5 access denied, 8 not enough memory, 11 bad format); 0 means the system ran
// out of memory or resources (14); the shell's own values 26 to 32 become the
// Windows errors they stand for: 26 sharing violation (32), 27 and 31 no
// association (1155), 28 to 30 DDE failure (1156), 32 library not found (1157).
// The answer is a handle-sized value read without sign, so that no answer can
// pass for one of the installer's own (negative) codes.
[[nodiscard]] Result shellAnswerResult(uintptr_t answer);

}  // namespace ssi
