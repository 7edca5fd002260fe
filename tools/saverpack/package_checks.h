// What the installer would do with a package, checked before it is built and
// when it is verified: refusals for packages that install wrongly or fail at
// run time, and warnings for what works but not as the author may expect.
// Each check asks the installer's own rules and readers: its modes
// (core/roles.h), the movie inspection (flash/swf_movie.h), the picture
// check (platform/picture_check.h), where a slot's name and kind put it
// (package/slot_extraction.h) and the name the saver is registered under.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/result_codes.h"
#include "package/package_format.h"

namespace ssi::tool {

// One refusal or warning, under the manifest key it is about ("settings.mode",
// "slots.3.file"; "STUB" for the program image given on the command line).
struct Finding {
    bool warning = false;
    std::string key;
    std::string text;
};

// The package as the checks see it: its settings, and for each used slot its
// stored name (in the package's code page), its kind and, where known, its
// expanded bytes and where they came from.
struct PackageView {
    uint8_t installerMode = 0;
    bool showLicense = false;
    bool showReadMe = false;
    uint8_t flashVersionIndex = 0;
    std::string saverName;
    int codePage = 1252;  // the code page of the names, for messages
    struct Slot {
        bool used = false;
        std::string name;
        int32_t kind = 0;
        const std::vector<uint8_t>* bytes = nullptr;  // nullptr: not known
        std::string source;                           // a file name, for messages
    };
    std::array<Slot, kSlotCount> slots;
};

// The refusals and warnings for a package; empty when the installer will do
// with it what its author asked.
std::vector<Finding> packageFindings(const PackageView& package);

// Warnings for names of a built package whose bytes read as UTF-8 beyond
// ASCII: written by a tool that did not put them into code page 1252, they
// show garbled on Windows. (Not for names this tool has just transcoded: a
// few 1252 texts, such as "ß€", are UTF-8 by chance.)
std::vector<Finding> nameEncodingFindings(const PackageView& package);

// Whether `image` is the installer's program image (install.exe): at most
// the package offset's bytes, a 32-bit Windows program (MZ and PE
// signatures, i386, not a DLL) that carries the build's mark. The findings
// say what it is instead; `manifest` (may be empty) serves the hint that the
// stub and the manifest were given in the wrong order.
std::vector<Finding> programImageFindings(const std::vector<uint8_t>& image,
                                          const std::vector<uint8_t>& manifest);

// Why the installer's movie inspection refuses a movie, for a verdict other
// than 0: "a movie of an SWF version above 8 (-405)".
std::string movieFault(Result verdict);

// Whether a file holds text a person can read in a box or an editor: no NUL
// and no control character besides tab, line feed, carriage return and form feed.
bool looksLikeText(const std::vector<uint8_t>& bytes);

// "m.toml:7: settings.mode: TEXT" when the key's line is known, else
// "settings.mode: TEXT" ("STUB: TEXT" for the program image).
std::string findingText(const Finding& f, const std::string& manifestPath,
                        const std::map<std::string, int>& lines);

}  // namespace ssi::tool
