// "saverpack list FILE": the installer's settings and its slot table.
#include "tools/saverpack/tool_support.h"

#include <algorithm>
#include <iomanip>

#include "package/package_layout.h"

namespace ssi::tool {

int commandList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 1) return usageError(err, "list takes FILE");
    Installer inst;
    std::string error;
    if (!openInstaller(a.positional[0], inst, error)) return fault(err, error);
    const PackageHeader& h = inst.header;
    out << "installerMode          " << int(h.installerMode) << "\n"
        << "showLicense            " << int(h.showLicense) << "\n"
        << "showReadMe             " << int(h.showReadMe) << "\n"
        << "carriesFlashInstaller  " << int(h.carriesFlashInstaller) << "\n"
        << "flashVersionIndex      " << int(h.flashVersionIndex) << "\n"
        << "offerDisplayPanel      " << int(h.offerDisplayPanel) << "\n"
        << "saverName              " << quoted(h.name()) << "\n"
        << "file size              " << inst.size << "\n\n";
    size_t nameWidth = 4;
    std::vector<std::string> names;
    for (const PackageEntry& e : h.entries) {
        names.push_back(e.name().empty() ? "(unused)" : quoted(e.name()));
        nameWidth = std::max(nameWidth, names.back().size());
    }
    out << std::left << std::setw(6) << "slot" << std::setw(int(nameWidth) + 2) << "name" << std::right
        << std::setw(11) << "firstByte" << std::setw(11) << "lastByte" << std::setw(6) << "kind"
        << std::setw(12) << "compressed" << std::setw(12) << "packedSize" << std::setw(14) << "expandedSize"
        << "\n";
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PackageEntry& e = h.entries[slot];
        out << std::left << std::setw(6) << slot << std::setw(int(nameWidth) + 2) << names[size_t(slot)]
            << std::right << std::setw(11) << e.firstByte << std::setw(11) << e.lastByte << std::setw(6)
            << e.targetKind << std::setw(12) << int(e.compressed) << std::setw(12) << e.packedSize
            << std::setw(14) << e.expandedSize << "\n";
    }
    return kExitOk;
}

}  // namespace ssi::tool
