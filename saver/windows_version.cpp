#include "saver/windows_version.h"

#include <utility>

#include "core/trace.h"

namespace ssi {

WindowsRelease classifyWindows(const WindowsVersion& v) {
    if (v.platformId == platformid::kWindows) {
        if (v.major == 4 && v.minor == 0) return WindowsRelease::Windows95;
        if (v.major == 4 && v.minor == 10)
            return v.servicePack.size() > 1 && v.servicePack[1] == 'A' ? WindowsRelease::Windows98SE
                                                                        : WindowsRelease::Windows98;
        if (v.major == 4 && v.minor == 90) return WindowsRelease::WindowsME;
    } else if (v.platformId == platformid::kNt) {
        if (v.major <= 4) return WindowsRelease::NT4;
        if (v.major == 5 && v.minor == 0) return WindowsRelease::Windows2000;
        if (v.major == 5 && v.minor == 1) return WindowsRelease::XP;
    }
    return WindowsRelease::Unknown;
}

WindowsRelease identifyWindowsRelease(Os& os) {
    WindowsVersion v;
    if (os.system().windowsVersion(v) != rc::kOk) return WindowsRelease::Unknown;
    return classifyWindows(v);
}

WindowsFamilyFlags familyFlags(WindowsRelease release) {
    WindowsFamilyFlags flags;
    switch (release) {
        case WindowsRelease::Windows95: flags.is95 = true; break;
        case WindowsRelease::Windows98:
        case WindowsRelease::Windows98SE: flags.is98 = true; break;
        case WindowsRelease::WindowsME: flags.isME = true; break;
        case WindowsRelease::NT4: flags.isNT = true; break;
        case WindowsRelease::Windows2000: flags.is2000 = true; break;
        case WindowsRelease::XP: flags.isXP = true; break;
        case WindowsRelease::Unknown: break;
    }
    return flags;
}

WindowsFamilyFlags identifyWindowsVersion(Os& os) {
    const WindowsFamilyFlags flags = familyFlags(identifyWindowsRelease(os));
    logMessage("Windows: " + describe(flags));
    return flags;
}

std::string describe(const WindowsFamilyFlags& f) {
    std::string text;
    for (auto [set, name] : {std::pair{f.is95, "95"}, {f.is98, "98"}, {f.isME, "ME"}, {f.isNT, "NT"},
                             {f.is2000, "2000"}, {f.isXP, "XP"}})
        if (set) text += text.empty() ? name : std::string("+") + name;
    return text;
}

}  // namespace ssi
