#include "platform/messages.h"

#include "core/strings.h"
#include "core/trace.h"
#include "platform/reporter.h"

namespace ssi {

namespace {
// Texts that are joined into messages as they stand, not translated.
constexpr const char* kEmptyLine = "\r\n\r\n";
constexpr const char* kFullStop = ". ";
constexpr const char* kInstallationCancelled = "Installation Cancelled";
}  // namespace

std::string decimal(Result code) { return std::to_string(code); }

BoxAnswer Ui::messageBox(BoxKind kind, BoxButtons buttons, const std::string& text) {
    if (!unattended_) return showBox(kind, buttons, text);
    logMessage("not shown (unattended): " + text);
    switch (buttons) {
        case BoxButtons::Abort: return BoxAnswer::Abort;
        case BoxButtons::Ok: return BoxAnswer::Ok;
        case BoxButtons::YesNo: return BoxAnswer::No;
        case BoxButtons::OkCancel: return BoxAnswer::Cancel;
    }
    return BoxAnswer::Cancel;
}

std::string installErrorText(Os& os, Result code, const std::string& text) {
    std::string out = os.system().loadString(kStrInstallationError);
    switch (code) {
        case oserr::kAccessDenied:
            return out + text + kEmptyLine + os.system().loadString(kStrInsufficientPrivileges);
        case rc::kSaverNotReplaced:
            return out + os.system().loadString(kStrSaverCannotBeReplaced);
        case rc::kCopyInstallerFailed:
            return out + text + kEmptyLine + os.system().loadString(kStrRetryInstallation) +
                   os.system().loadString(kStrLoginAsAdministrator);
        default:
            return out + text + kEmptyLine + os.system().loadString(kStrProblemWithFile) + text + kFullStop;
    }
}

void showInstallError(Os& os, Result code, const std::string& text) {
    os.ui().messageBox(BoxKind::Error, BoxButtons::Abort, installErrorText(os, code, text));
}

void BoxReporter::showInstallError(Result code, const std::string& text) { ssi::showInstallError(os_, code, text); }

BoxAnswer BoxReporter::showBox(BoxKind kind, BoxButtons buttons, const std::string& text) {
    return os_.ui().messageBox(kind, buttons, text);
}

FailureBox initFailureBox(Os& os, Result code) {
    FailureBox box;
    switch (code) {
        case rc::kUserDeclined:
            return box;
        case rc::kNotCompatibleWithNT:
            box.text = os.system().loadString(kStrNotCompatibleWithNT);
            break;
        case rc::kFlashNotInstallable:
            box.kind = BoxKind::Information;
            box.buttons = BoxButtons::Ok;
            box.text = os.system().loadString(kStrFlashPlayerRequired) + os.system().loadString(kStrFlashPlayerDownloadAddress) +
                       os.system().loadString(kStrFlashPlayerRetry);
            break;
        default:
            box.text = os.system().loadString(kStrInstallerFileCorrupted) + os.system().loadString(kStrQuillonError) +
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
    if (box.shown) os.ui().messageBox(box.kind, box.buttons, box.text);
}

std::string completionStatusText(Os& os, Result code) {
    switch (code) {
        case rc::kOk: return os.system().loadString(kStrInstallationComplete);
        case oserr::kAccessDenied: return os.system().loadString(kStrAbortedPrivileges);
        case rc::kSaverNotReplaced: return os.system().loadString(kStrAbortedCannotReplace);
        default: return os.system().loadString(kStrInstallFailed) + decimal(code);
    }
}

std::string preparingResultText(Os& os, Result code) {
    switch (code) {
        case rc::kOk: return os.system().loadString(kStrInstallationSuccessful);
        case rc::kUserDeclined: return kInstallationCancelled;
        default: return os.system().loadString(kStrInstallFailed) + decimal(code);
    }
}

}  // namespace ssi
