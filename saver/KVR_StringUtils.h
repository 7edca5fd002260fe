// Names formed from the screen saver's name.
#pragma once

#include <string>

#include "platform/os.h"

namespace ssi {

// Whether `text` occurs in `within`, without regard to letter case.
bool containsText(const std::string& within, const std::string& text);
// The installer window's caption: "Install Screen Saver: Night Sky", or
// "Install: Ocean Saver" when the name already says it is a screen saver.
std::string installerCaption(Os& os, const std::string& saverName);

}  // namespace ssi
