#include "app/run_installer.h"

#include "app/installer_window.h"
#include "app/preparing_window.h"
#include "core/names.h"
#include "core/trace.h"
#include "platform/file_utils.h"
#include "platform/messages.h"

namespace ssi {

namespace {
// Shown while the installer unpacks itself; replaces the string-table text
// that the preparing window starts with.
constexpr const char* kPreparingInstallation = "Preparing installation...";

// The log of a run started with "/q": what boxes would have said, what was
// put back or kept, and the exit code, for the administrator's script. It is
// written when the run ends, as <Windows folder>\<installer's name>.log
// ("Setup.log" for Setup.exe), replacing the log of an earlier run: a folder
// that on NT only administrators may write to, so that no program without
// elevation can put a link where the elevated installer writes.
class QuietLog {
public:
    QuietLog(Os& os, bool active) : os_(os), active_(active) {
        if (!active_) return;
        lines().clear();
        previous() = logSink();
        logSink() = collect;
    }
    ~QuietLog() {
        if (!active_) return;
        logSink() = previous();
        std::string text;
        for (const std::string& line : lines()) text += line + "\r\n";
        text += "exit code: " + std::to_string(exitCode) + "\r\n";
        const std::string folder = getWindowsDir(os_);
        std::string name = extractFileName(os_.system().modulePath());
        name = name.substr(0, name.size() - extractFileExt(name).size());
        const std::string path = folder + (name.empty() ? "Setup" : name) + ".log";
        // The name is taken afresh: a link left in its place is removed, not written through.
        ignoreResult(deleteFileForced(os_, path), "a log that stays is replaced below, or the write fails");
        std::unique_ptr<File> file;
        if (os_.files().openFile(path, FileAccess::Create, file) == rc::kOk) {
            ignoreResult(writeExact(*file, text.data(), uint32_t(text.size())), "the exit code still tells");
            ignoreResult(file->close(), "the exit code still tells");
        }
    }
    Result exitCode = 0;

private:
    static std::vector<std::string>& lines() {
        static std::vector<std::string> kept;
        return kept;
    }
    static LogSink& previous() {
        static LogSink sink = nullptr;
        return sink;
    }
    static void collect(const LogLine& line) {
        if (LogSink before = previous()) before(line);
        if (std::string(line.operation) == "message") lines().push_back(line.name);
    }
    Os& os_;
    bool active_;
};

[[nodiscard]] int runInstallation(Os& os) {
    os.ui().setApplicationTitle(kPreparingInstallation);

    TpreparingInstallWnd preparing(os);
    ignoreResult(os.ui().realize(preparing),
                 "the preparing window is a courtesy: the installer goes on without it");
    preparing.FormCreate();
    preparing.setText(extractFileName(os.system().modulePath()));
    preparing.setMessage(kPreparingInstallation);
    os.ui().processMessages();

    // Creating the installer window runs the whole initialisation; it may
    // already have told the application to end.
    // The window is shown (which hides the preparing window) only once its
    // creation has run, and only when the initialisation left it open.
    TInstallerForm installer(os);
    installer.preparingWnd = &preparing;
    installer.setVisible(false);
    // Without its window (or the hidden application window that owns it)
    // the installer could only wait for a user who sees nothing: the failure
    // is shown as the initialisation's (logged only under "/q", where nobody
    // is there), and the program ends with the system's error.
    if (quietByCommandLine(os)) os.ui().setUnattended(true);
    if (Result e = os.ui().realize(installer)) {
        showInitFailure(os, e);
        return e;
    }
    installer.FormCreate();
    if (!os.ui().terminated()) installer.setVisible(true);

    os.ui().runMessageLoop();
    return installer.exitCode;
}

}  // namespace

int runInstaller(Os& os) {
    QuietLog log(os, quietByCommandLine(os));
    log.exitCode = runInstallation(os);
    return log.exitCode;
}

}  // namespace ssi
