// A Reporter for tests of the subsystems' steps: it records the status texts
// and progress steps, shows error boxes through the seam (so the double
// records them), and says "stop" when a test asks it to.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/reporter.h"

namespace ssi::test {

struct TestReporter : Reporter {
    explicit TestReporter(Os& os) : os(os) {}
    void showStatus(const std::string& text) override { statuses.push_back(text); }
    void stepProgress() override {
        ++steps;
        if (onStep) onStep();
    }
    void showInstallError(Result code, const std::string& text) override {
        errors.emplace_back(code, text);
        if (showBoxes) ssi::showInstallError(os, code, text);
    }
    // Through the seam, so that the double records the box and gives its scripted answer.
    BoxAnswer showBox(BoxKind kind, BoxButtons buttons, const std::string& text) override {
        boxes.push_back(text);
        return os.ui().messageBox(kind, buttons, text);
    }
    bool stopRequested() const override { return stop; }

    std::string status() const { return statuses.empty() ? std::string() : statuses.back(); }

    Os& os;
    std::vector<std::string> statuses;
    int steps = 0;
    bool stop = false;
    std::vector<std::pair<Result, std::string>> errors;  // every error box asked for: code, text
    std::vector<std::string> boxes;                      // every other box asked for: its text
    bool showBoxes = true;                               // false: record them without showing
    std::function<void()> onStep;  // runs in every progress step, as Cancel would
};

}  // namespace ssi::test
