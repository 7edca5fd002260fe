#include "tools/saverpack/package_table.h"

#include <algorithm>
#include <iomanip>
#include <string>
#include <vector>

#include "tools/saverpack/codepage.h"
#include "tools/saverpack/tool_support.h"

namespace ssi::tool {

void printPackageTable(const PackageHeader& h, int64_t fileSize, int codePage, std::ostream& out) {
    out << "installerMode          " << int(h.installerMode) << "\n"
        << "showLicense            " << int(h.showLicense) << "\n"
        << "showReadMe             " << int(h.showReadMe) << "\n"
        << "carriesFlashInstaller  " << int(h.carriesFlashInstaller) << "\n"
        << "flashVersionIndex      " << int(h.flashVersionIndex) << "\n"
        << "offerDisplayPanel      " << int(h.offerDisplayPanel) << "\n"
        << "saverName              " << quoted(toUtf8(h.name(), codePage)) << "\n"
        << "file size              " << fileSize << "\n\n";
    size_t nameWidth = 4;
    std::vector<std::string> names;
    for (const PackageEntry& e : h.entries) {
        names.push_back(e.name().empty() ? "(unused)" : quoted(toUtf8(e.name(), codePage)));
        nameWidth = std::max(nameWidth, displayWidth(names.back()));
    }
    out << std::left << std::setw(6) << "slot" << padRight("name", nameWidth + 2) << std::right
        << std::setw(11) << "firstByte" << std::setw(11) << "lastByte" << std::setw(6) << "kind"
        << std::setw(12) << "compressed" << std::setw(12) << "packedSize" << std::setw(14) << "expandedSize"
        << "\n";
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PackageEntry& e = h.entries[slot];
        out << std::left << std::setw(6) << slot << padRight(names[size_t(slot)], nameWidth + 2) << std::right
            << std::setw(11) << e.firstByte << std::setw(11) << e.lastByte << std::setw(6) << e.targetKind
            << std::setw(12) << int(e.compressed) << std::setw(12) << e.packedSize << std::setw(14)
            << e.expandedSize << "\n";
    }
}

}  // namespace ssi::tool
