// Lays out an installer file: the program image (stub) padded to the package
// offset, the package header, then the slots' stored bytes (see
// package/package_layout.h for the rules).
#pragma once

#include <array>
#include <map>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/package_format.h"

namespace ssi::tool {

struct SlotInput {
    std::string name;           // the stored name
    std::vector<uint8_t> data;  // the file's bytes
    int32_t kind = 0;           // targetKind
    bool compress = false;
    unsigned literalMode = 0;  // 0 binary, 1 ASCII (compressed slots)
    unsigned dictSize = 4096;  // 1024, 2048 or 4096 (compressed slots)
    std::string source;        // where the bytes came from, for messages
};

struct PackageInput {
    uint8_t installerMode = 0;
    bool showLicense = false;
    bool showReadMe = false;
    bool carriesFlashInstaller = false;
    uint8_t flashVersionIndex = 0;
    bool offerDisplayPanel = false;
    std::string saverName;
    std::array<std::optional<SlotInput>, kSlotCount> slots;  // 1..10; slot 0 is the stub
    int codePage = 1252;                  // the code page the names are written in
    std::map<std::string, int> keyLines;  // the manifest's line of each key, for messages
};

// The manifest key of a slot's field, "slots.3.file": what messages name.
inline std::string slotKey(int slot, const char* field) {
    return "slots." + std::to_string(slot) + "." + field;
}

// The targetKind each slot takes when the manifest names none: what its role
// needs (slot 1 the scratch directory as impborl.dll, slot 2 the player
// installer, 3..5 the scratch directory, 6 the system directory, 7, 9 and 10
// the install directory, 8 the scratch directory).
constexpr int32_t kDefaultSlotKinds[kSlotCount] = {6, 4, 3, 7, 7, 7, 2, 5, 4, 5, 5};

// Builds the whole file into `out`. On failure returns false and `errors`
// holds one message per problem. A slot to compress whose compressed form
// would be larger than the file is stored as it is; `storedInstead` (when
// given) receives one message for each.
[[nodiscard]] bool buildInstaller(const std::vector<uint8_t>& stub, const PackageInput& input, std::vector<uint8_t>& out,
                    std::vector<std::string>& errors, std::vector<std::string>* storedInstead = nullptr);

}  // namespace ssi::tool
