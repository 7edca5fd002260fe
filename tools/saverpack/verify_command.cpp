// "saverpack verify FILE": every fault of an installer's package, one a line.
#include "tools/saverpack/tool_support.h"

#include "package/package_layout.h"
#include "tools/saverpack/safe_output.h"

namespace ssi::tool {

int commandVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 1) return usageError(err, "verify takes FILE");
    std::vector<std::string> faults;
    if (!verifyInstaller(a.positional[0], faults)) return fault(err, faults.front());
    for (const std::string& f : faults) out << printable(f) << "\n";
    if (faults.empty()) {
        out << printable(a.positional[0]) << ": ok\n";
        return kExitOk;
    }
    err << "saverpack: " << a.positional[0] << ": " << faults.size()
        << (faults.size() == 1 ? " fault" : " faults") << "\n";
    return kExitFault;
}

bool verifyInstaller(const std::string& path, std::vector<std::string>& faults) {
    faults.clear();
    Installer inst;
    std::string error;
    if (!openInstaller(path, inst, error)) {
        faults.push_back(error);
        return false;
    }
    faults = layoutFaults(inst.header, inst.size);
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) {
        const PackageEntry& e = inst.header.entries[slot];
        if (e.name().empty() || !e.compressed || !slotBytesInFile(e, inst.size)) continue;
        bool writeFailed = false;
        const std::string problem = expansionFault(*inst.file, e, nullptr, writeFailed);
        if (!problem.empty()) faults.push_back("slot " + std::to_string(slot) + ": " + problem);
    }
    return true;
}

}  // namespace ssi::tool
