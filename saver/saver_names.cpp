#include "saver/saver_names.h"

#include "core/strings.h"
#include "platform/file_utils.h"

namespace ssi {

namespace {
// Whether the name already says that it is a screen saver.
bool namesAScreenSaver(const std::string& saverName) {
    for (const char* word : {"screen saver", "screensaver", "saver"})
        if (containsText(saverName, word)) return true;
    return false;
}
}  // namespace

std::string installerCaption(Os& os, const std::string& saverName) {
    const std::string install = os.system().loadString(kStrInstall);
    const std::string screenSaver = os.system().loadString(kStrScreenSaver);
    // The table's own word counts too: a translated "Screen Saver" in the name
    // (an empty text, from a table without it, is no word).
    if (namesAScreenSaver(saverName) || (!screenSaver.empty() && containsText(saverName, screenSaver))) return install + ": " + saverName;
    return install + " " + screenSaver + ": " + saverName;
}

std::string uninstallDisplayName(Os& os, const std::string& saverName) {
    if (namesAScreenSaver(saverName)) return saverName;
    return saverName + " " + os.system().loadString(kStrScreenSaver);
}

}  // namespace ssi
