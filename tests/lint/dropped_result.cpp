// Compiled, never run, by lint.nodiscard: a caller that drops the result of a
// seam call must be refused, and the same call whose result is ignored on
// purpose, through ignoreResult, must not.
#include "platform/os.h"

namespace ssi {

void dropsAResult(Os& os) {
#ifdef SAYS_WHY
    ignoreResult(os.files().deleteFile("C:\\TEMP\\x.tmp"), "a left-over temporary file does no harm");
#else
    os.files().deleteFile("C:\\TEMP\\x.tmp");
#endif
}

}  // namespace ssi
