// "saverpack extract FILE DIR [--slot N] [--force]": the used slots, expanded, under their stored names.
#include "tools/saverpack/tool_support.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/names.h"
#include "package/package_layout.h"
#include "package/slot_extraction.h"
#include "tools/saverpack/codepage.h"
#include "tools/saverpack/safe_output.h"

namespace ssi::tool {

namespace {

// The faults the installer refuses a header for, each named as refused.
int refuseHeader(const PackageHeader& header, int64_t size, std::ostream& err) {
    for (const PackageFault& f : packageFaults(header, size)) {
        if (!f.refusedOnRead) continue;
        const bool ofSlot = f.text.rfind("slot ", 0) == 0 && f.text.find(": ") != std::string::npos;
        const size_t cut = ofSlot ? f.text.find(": ") + 2 : 0;
        err << "saverpack: " << f.text.substr(0, cut) << "refused: " << f.text.substr(cut) << "\n";
    }
    err << "saverpack: the installer refuses this package's header; nothing is extracted\n";
    return kExitFault;
}

// "slots N and M both name X" for the first two used slots among first..last
// whose names are equal ignoring case; "" when every name is distinct.
std::string nameGivenTwice(const PackageHeader& header, int first, int last) {
    for (int a = first; a <= last; ++a)
        for (int b = a + 1; b <= last; ++b) {
            const std::string name = header.entries[a].name();
            if (!name.empty() && lowerCase(name) == lowerCase(header.entries[b].name()))
                return "slots " + std::to_string(a) + " and " + std::to_string(b) + " both name " +
                       quoted(name);
        }
    return std::string();
}

}  // namespace

int commandExtract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {{"--slot", true}, {"--force", false}});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 2) return usageError(err, "extract takes FILE DIR [--slot N] [--force]");
    const bool force = a.options.count("--force") != 0;
    int first = kFirstPackageSlot, last = kLastPackageSlot;
    const bool single = a.options.count("--slot") != 0;
    if (single) {
        const std::string& n = a.options["--slot"];
        if (n.empty() || n.size() > 2 || n.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(n) > kLastPackageSlot)
            return usageError(err, "--slot takes a slot number from 0 to 10");
        first = last = std::stoi(n);
    }
    const std::string& dir = a.positional[1];
    Installer inst;
    std::string error;
    if (!openInstaller(a.positional[0], inst, error)) return fault(err, error);
    // The installer extracts nothing from a header it refuses on reading.
    if (checkPackageHeader(inst.header) != rc::kOk) return refuseHeader(inst.header, inst.size, err);
    // Two slots with one name (as Windows compares names) would land on one file.
    const std::string twice = nameGivenTwice(inst.header, first, last);
    if (!twice.empty()) return fault(err, twice + "; nothing is extracted");
    if (!makeDirectory(dir)) return fault(err, dir + ": cannot be created (" + std::strerror(errno) + ")");

    int result = kExitOk;
    for (int slot = first; slot <= last; ++slot) {
        const PackageEntry& e = inst.header.entries[slot];
        const std::string label = "slot " + std::to_string(slot) + ": ";
        const std::string name = hostFileName(e.name());  // as safe as the stored name
        if (name.empty()) {
            if (single) result = fault(err, label + "unused");
            continue;
        }
        if (!isSafeFileName(name)) {
            result = fault(err, label + "refused: the name " + quoted(name) + " is not a plain file name");
            continue;
        }
        if (!kindHasDestination(e.targetKind)) {
            result = fault(err, label + "refused: targetKind " + std::to_string(e.targetKind) +
                                    " has no destination (1 to 7 or 10)");
            continue;
        }
        if (!slotBytesInFile(e, inst.size)) {
            result = fault(err, label + "refused: bytes " + std::to_string(e.firstByte) + " to " +
                                    std::to_string(e.lastByte) + " are not inside the file (" +
                                    std::to_string(inst.size) + " bytes)");
            continue;
        }
        const std::string dest = joinPath(dir, name);
        OutputFile output;
        const FileIdentity existing = identityOf(dest);
        if (existing.exists && (existing.folder || !force)) {
            result = fault(err, label + printable(dest) +
                                    (existing.folder ? ": is a folder"
                                                     : ": already exists; give --force to replace it"));
            continue;
        }
        if (!output.open(dest, error, force)) {
            result = fault(err, label + error);
            continue;
        }
        bool writeFailed = false;
        int64_t size = e.storedSize();
        if (e.compressed) {
            const std::string problem = expansionFault(*inst.file, e, output.get(), writeFailed);
            if (!problem.empty() && !writeFailed) {
                result = fault(err, label + problem + "; " + quoted(name) + " not written");
                continue;
            }
            size = e.expandedSize;
        } else {
            uint32_t copied = 0;
            if (inst.file->seek(e.firstByte) != rc::kOk ||
                copySlotBytes(*inst.file, output.asFile(), uint32_t(size), copied) != rc::kOk ||
                int64_t(copied) != size)
                writeFailed = true;
        }
        if (writeFailed) {
            result = fault(err, label + printable(dest) + ": cannot be written");
            continue;
        }
        if (!output.commit(error)) {
            result = fault(err, label + error);
            continue;
        }
        out << label << printable(dest) << " (" << size << " bytes)\n";
    }
    return result;
}

}  // namespace ssi::tool
