#include "app/messages.h"

#include "app/strings.h"
#include "saver/logFile.h"

namespace ssi {

namespace {
// Texts that are joined into messages as they stand, not translated.
constexpr const char* kEmptyLine = "\r\n\r\n";
constexpr const char* kFullStop = ". ";
constexpr const char* kInstallationCancelled = "Installation Cancelled";
}  // namespace

std::string decimal(Result code) { return std::to_string(code); }

std::string installErrorText(Os& os, Result code, const std::string& text) {
    std::string out = os.loadString(kStrInstallationError);
    switch (code) {
        case oserr::kAccessDenied:
            return out + text + kEmptyLine + os.loadString(kStrInsufficientPrivileges);
        case rc::kSaverNotReplaced:
            return out + os.loadString(kStrSaverCannotBeReplaced);
        case rc::kCopyInstallerFailed:
            return out + text + kEmptyLine + os.loadString(kStrRetryInstallation) +
                   os.loadString(kStrLoginAsAdministrator);
        default:
            return out + text + kEmptyLine + os.loadString(kStrProblemWithFile) + text + kFullStop;
    }
}

void showInstallError(Os& os, Result code, const std::string& text) {
    os.messageBox(BoxKind::Error, BoxButtons::Abort, installErrorText(os, code, text));
}

FailureBox initFailureBox(Os& os, Result code) {
    FailureBox box;
    switch (code) {
        case rc::kUserDeclined:
            return box;
        case rc::kNotCompatibleWithNT:
            box.text = os.loadString(kStrNotCompatibleWithNT);
            break;
        case rc::kFlashNotInstallable:
            box.kind = BoxKind::Information;
            box.buttons = BoxButtons::Ok;
            box.text = os.loadString(kStrFlashPlayerRequired) + os.loadString(kStrFlashPlayerDownloadAddress) +
                       os.loadString(kStrFlashPlayerRetry);
            break;
        default:
            box.text = os.loadString(kStrInstallerFileCorrupted) + os.loadString(kStrQuillonError) +
                       decimal(code) + kFullStop;
            break;
    }
    box.shown = true;
    return box;
}

void showInitFailure(Os& os, Result code) {
    logMessage("install error: " + decimal(code));
    if (code == rc::kUserDeclined) logMessage("user abort");
    FailureBox box = initFailureBox(os, code);
    if (box.shown) os.messageBox(box.kind, box.buttons, box.text);
}

std::string completionStatusText(Os& os, Result code) {
    switch (code) {
        case rc::kOk: return os.loadString(kStrInstallationComplete);
        case oserr::kAccessDenied: return os.loadString(kStrAbortedPrivileges);
        case rc::kSaverNotReplaced: return os.loadString(kStrAbortedCannotReplace);
        default: return os.loadString(kStrInstallFailed) + decimal(code);
    }
}

std::string preparingResultText(Os& os, Result code) {
    switch (code) {
        case rc::kOk: return os.loadString(kStrInstallationSuccessful);
        case rc::kUserDeclined: return kInstallationCancelled;
        default: return os.loadString(kStrInstallFailed) + decimal(code);
    }
}

}  // namespace ssi
