// The program's main routine: preparing window, installer window, message loop.
#pragma once

#include "platform/os.h"

namespace ssi {

// Runs the installer to its end and returns the process exit code.
[[nodiscard]] int runInstaller(Os& os);

}  // namespace ssi
