// Names formed from the screen saver's name.
#pragma once

#include <string>

#include "core/names.h"
#include "platform/os.h"

namespace ssi {

// The installer window's caption: "Install Screen Saver: Night Sky", or
// "Install: Ocean Saver" when the name already says it is a screen saver.
std::string installerCaption(Os& os, const std::string& saverName);

// The uninstall entry's display name: the name itself when it already says
// it is a screen saver ("Ocean Saver", "OCEAN SAVER"), otherwise the name
// followed by " Screen Saver" ("Night Sky Screen Saver").
std::string uninstallDisplayName(Os& os, const std::string& saverName);

}  // namespace ssi
