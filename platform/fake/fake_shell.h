// The test double's shell and processes: every request is recorded and
// answered by the test's handler (or, without one, by whether the file
// exists); other programs' top-level windows and the clicks they receive
// are a table the test fills.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os.h"

namespace ssi {

class FakeOs;

struct ShellRequest {
    WindowHandle owner = 0;
    std::string verb, file, parameters, directory;
    int show = 0;
};

struct ProcessRequest {
    std::string program, arguments;
    int show = 0;
    bool wait = false;
    std::string directory;  // the working folder it was started in
};

class FakeShell : public Shell {
public:
    explicit FakeShell(FakeOs& os) : os_(os) {}
    // Answers in the seam's convention, as the real shell's answer is
    // translated: 0 when started, else a Windows error (2 for a missing file).
    [[nodiscard]] Result shellExecute(WindowHandle owner, const std::string& verb, const std::string& file,
                        const std::string& parameters, const std::string& directory, int show) override;
    [[nodiscard]] Result startProcess(const std::string& program, const std::string& arguments,
                        const std::string& directory, int show, bool wait, uint32_t& exitCode) override;
    [[nodiscard]] Result findWindow(const std::string& title, WindowHandle& out) override;
    [[nodiscard]] Result clickButton(WindowHandle window, int controlId) override;

private:
    FakeOs& os_;
};

}  // namespace ssi
