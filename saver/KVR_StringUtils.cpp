#include "saver/KVR_StringUtils.h"

#include "app/strings.h"
#include "saver/KVR_FileUtils.h"

namespace ssi {

bool containsText(const std::string& within, const std::string& text) {
    return lowerCase(within).find(lowerCase(text)) != std::string::npos;
}

std::string installerCaption(Os& os, const std::string& saverName) {
    const std::string install = os.loadString(kStrInstall);
    const std::string screenSaver = os.loadString(kStrScreenSaver);
    for (const char* word : {"screen saver", "screensaver", "saver"})
        if (containsText(saverName, word)) return install + ": " + saverName;
    if (containsText(saverName, screenSaver)) return install + ": " + saverName;
    return install + " " + screenSaver + ": " + saverName;
}

}  // namespace ssi
