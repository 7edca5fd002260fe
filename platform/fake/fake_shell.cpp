#include "platform/fake/fake_shell.h"

#include "core/names.h"
#include "platform/fake/fake_os.h"

namespace ssi {

Result FakeShell::shellExecute(WindowHandle owner, const std::string& verb, const std::string& file,
                               const std::string& parameters, const std::string& directory, int show) {
    ShellRequest r{owner, verb, file, parameters, directory, show};
    os_.shellRequests.push_back(r);
    if (Result e = os_.injected(Op::ShellExecute, file)) return e;
    if (os_.onShellExecute) return os_.onShellExecute(r);
    return os_.exists(file) ? 0 : oserr::kFileNotFound;
}

Result FakeShell::startProcess(const std::string& program, const std::string& arguments,
                               const std::string& directory, int show, bool wait, uint32_t& exitCode) {
    exitCode = 0;
    ProcessRequest r{program, arguments, show, wait, directory};
    os_.processes.push_back(r);
    if (Result e = os_.injected(Op::StartProcess, program)) return e;
    if (os_.onStartProcess) return os_.onStartProcess(r, exitCode);
    return os_.exists(program) ? 0 : oserr::kFileNotFound;
}

Result FakeShell::findWindow(const std::string& title, WindowHandle& out) {
    out = 0;
    ++os_.findWindowCalls;
    if (os_.onFindWindow) os_.onFindWindow(title);
    if (Result e = os_.injected(Op::FindWindow, title)) return e;
    // Titles match whatever their case, as FindWindow matches them.
    for (const auto& w : os_.windows)
        if (lowerCase(w.first) == lowerCase(title)) {
            out = w.second;
            return 0;
        }
    return oserr::kFileNotFound;
}

Result FakeShell::clickButton(WindowHandle window, int controlId) {
    if (Result e = os_.injected(Op::ClickButton, std::to_string(controlId))) return e;
    for (const auto& w : os_.windows)
        if (w.second == window) {
            os_.clicks.emplace_back(window, controlId);
            return 0;
        }
    return oserr::kInvalidWindowHandle;
}

}  // namespace ssi
