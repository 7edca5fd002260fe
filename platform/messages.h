// Result codes turned into what the user reads: the installation error box,
// the initialisation failure box, the completion status line and the
// preparing window's line.
#pragma once

#include <string>

#include "core/result_codes.h"
#include "platform/os.h"

namespace ssi {

// The code written in decimal, with a leading minus sign when negative.
std::string decimal(Result code);

// "Installation Error: ..." for a code and the text that goes with it
// (usually the path of the file concerned).
std::string installErrorText(Os& os, Result code, const std::string& text);
// Shows installErrorText in an error box with the single button Abort.
void showInstallError(Os& os, Result code, const std::string& text);

// The box an initialisation failure shows; `shown` is false for a declined
// installation (-454), which ends without a box.
struct FailureBox {
    bool shown = false;
    BoxKind kind = BoxKind::Error;
    BoxButtons buttons = BoxButtons::Abort;
    std::string text;
};
FailureBox initFailureBox(Os& os, Result code);
// Logs the code and shows its initialisation failure box.
void showInitFailure(Os& os, Result code);

// The installer window's status line when an installation has completed.
std::string completionStatusText(Os& os, Result code);
// The preparing window's line after an installation without the installer window.
std::string preparingResultText(Os& os, Result code);

}  // namespace ssi
