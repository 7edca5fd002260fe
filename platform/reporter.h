// No source of its own: BoxReporter is in platform/messages.cpp, the window's Reporter in app/.
// How the subsystems' operations show their progress, failures and questions
// without knowing the window that shows them: the installer window implements
// it (status line, progress bar, message boxes, the Cancel button's request);
// tools and tests use the plain version below (BoxReporter, in messages.cpp).
#pragma once

#include <string>

#include "core/result_codes.h"
#include "platform/os.h"

namespace ssi {

class Reporter {
public:
    virtual ~Reporter() = default;
    // The status line's text.
    virtual void showStatus(const std::string& text) = 0;
    // One step of the progress bar, with a short pause that keeps the window answering.
    virtual void stepProgress() = 0;
    // The installation error box for a code and the file concerned.
    virtual void showInstallError(Result code, const std::string& text) = 0;
    // Any other box a step shows (a question, a notice, an error of its own):
    // modal, with the button pressed as the answer.
    virtual BoxAnswer showBox(BoxKind kind, BoxButtons buttons, const std::string& text) = 0;
    // Whether the user asked to stop (Cancel); long runs look before each step.
    virtual bool stopRequested() const = 0;
};

// Shows error boxes through the seam; no status line, no progress, no cancel.
class BoxReporter : public Reporter {
public:
    explicit BoxReporter(Os& os) : os_(os) {}
    void showStatus(const std::string&) override {}
    void stepProgress() override {}
    void showInstallError(Result code, const std::string& text) override;
    BoxAnswer showBox(BoxKind kind, BoxButtons buttons, const std::string& text) override;
    bool stopRequested() const override { return false; }

private:
    Os& os_;
};

}  // namespace ssi
