// Which Windows is running: one classification of what the system reports,
// read by the uninstall entry (the 8.3 command on 95, 98 and ME) and by the
// player policy (no player 8 installer on NT 4.0).
#pragma once

#include <string>

#include "platform/os.h"

namespace ssi {

// The Windows releases the installer tells apart. The numbers are those the
// player's installers use (getWindowsVersionCode); Unknown is a later NT,
// another member of the 95 family, or a failed query.
enum class WindowsRelease : int {
    Unknown = -1,
    Windows95 = 0,
    Windows98 = 1,
    Windows98SE = 2,  // 4.10 with the service-pack text "?A..."
    WindowsME = 3,
    NT4 = 4,  // NT 4.0 and older
    Windows2000 = 5,
    XP = 6,
};

WindowsRelease classifyWindows(const WindowsVersion& v);
// The running Windows; Unknown when the system does not say.
WindowsRelease identifyWindowsRelease(Os& os);

// At most one flag is set; none for WindowsRelease::Unknown.
struct WindowsFamilyFlags {
    bool is95 = false;
    bool is98 = false;  // Windows 98 and 98 SE
    bool isME = false;
    bool isNT = false;  // NT 4.0 and older
    bool is2000 = false;
    bool isXP = false;

    bool isWindows9x() const { return is95 || is98 || isME; }
};

WindowsFamilyFlags familyFlags(WindowsRelease release);
// The flags of the running Windows, logged as "Windows: <flag>".
WindowsFamilyFlags identifyWindowsVersion(Os& os);
// The flag that is set, for the diagnostic trace: "95", "98", "ME", "NT",
// "2000", "XP", or "" for none (several, which never happens, joined by "+").
std::string describe(const WindowsFamilyFlags& flags);

}  // namespace ssi
