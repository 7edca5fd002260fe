// The player as the test double knows it: its class answers the version
// query, can be hosted in a panel with the player's members, and (when a
// revision is given) its registered file carries a version resource.
#pragma once

#include <string>

#include "flash/player_detection.h"
#include "platform/fake/fake_os.h"

namespace ssi::test {

// Where the double's player file is registered.
inline const std::string kPlayerFile = "C:\\WINDOWS\\SYSTEM\\Macromed\\Flash\\Flash.ocx";

// `revision` < 0: the file has no version resource (the control's answer decides).
// `without` leaves one of the player's members out of the hosted control.
inline void installPlayer(FakeOs& os, int major, int revision = -1, const std::string& without = "") {
    os.classes[kFlashClassId] = [major] {
        auto player = std::make_unique<FakeDispatch>();
        player->methods["flashversion"] = [major](const std::vector<Variant>&, Variant& out) {
            out = Variant::ofInt(major << 16);
            return Result(0);
        };
        return player;
    };
    os.hostedClasses[kFlashClassId] = [without] {
        auto control = std::make_unique<FakeHostedControl>();
        for (const char* property : {"scalemode", "wmode", "menu", "movie"})
            if (property != without) control->members.properties[property] = Variant();
        for (const char* method : {"setvariable", "play", "stopplay"})
            if (method != without)
                control->members.methods[method] = [](const std::vector<Variant>&, Variant&) { return 0; };
        return control;
    };
    os.writeFile(kPlayerFile, "player control");
    os.setRegString(Hive::ClassesRoot, kFlashServerKey, "", kPlayerFile);
    if (revision >= 0) os.versions[kPlayerFile] = FileVersion{uint32_t(major) << 16, uint32_t(revision) << 16};
}

inline void removePlayer(FakeOs& os) {
    os.classes.clear();
    os.hostedClasses.clear();
    os.versions.erase(kPlayerFile);
    ignoreResult(os.files().deleteFile(kPlayerFile), "no player file is what removing the player leaves");
}

}  // namespace ssi::test
