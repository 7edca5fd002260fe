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
[[nodiscard]] int refuseHeader(const PackageHeader& header, int64_t size, std::ostream& err) {
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

// What extract was asked for: the installer, the folder, the slots and
// whether an existing file may be replaced.
struct ExtractRequest {
    std::string file;
    std::string dir;
    int first = kFirstPackageSlot;
    int last = kLastPackageSlot;
    bool single = false;
    bool force = false;
};

// The arguments FILE DIR [--slot N] [--force]; kExitOk, or the usage error
// already printed.
[[nodiscard]] int readRequest(const std::vector<std::string>& args, ExtractRequest& request,
                              std::ostream& err) {
    Arguments a = parseArguments(args, 2, {{"--slot", true}, {"--force", false}});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 2) return usageError(err, "extract takes FILE DIR [--slot N] [--force]");
    request.force = a.options.count("--force") != 0;
    request.single = a.options.count("--slot") != 0;
    if (request.single) {
        const std::string& n = a.options["--slot"];
        if (n.empty() || n.size() > 2 || n.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(n) > kLastPackageSlot)
            return usageError(err, "--slot takes a slot number from 0 to 10");
        request.first = request.last = std::stoi(n);
    }
    request.file = a.positional[0];
    request.dir = a.positional[1];
    return kExitOk;
}

// Why the installer refuses a used slot before writing it (its own rule, in
// its order), in the tool's words; "" when it takes the slot.
std::string refusalText(const PackageEntry& e, const std::string& name, int64_t fileSize) {
    switch (slotRefusal(e, fileSize)) {
        case rc::kOk:
            return std::string();
        case rc::kNoDestination:
            return "refused: " + noDestinationText(e.targetKind);
        case rc::kShortRead:
            return "refused: bytes " + std::to_string(e.firstByte) + " to " + std::to_string(e.lastByte) +
                   " are not inside the file (" + std::to_string(fileSize) + " bytes)";
        default:
            return "refused: the name " + quoted(name) + " is not a plain file name";
    }
}

// A new file for the slot at `dest`: never onto a folder, nor onto an existing
// file without --force. "" or why not.
std::string openSlotOutput(const std::string& dest, bool force, OutputFile& output) {
    const FileIdentity existing = identityOf(dest);
    if (existing.exists && (existing.folder || !force))
        return printable(dest) +
               (existing.folder ? ": is a folder" : ": already exists; give --force to replace it");
    std::string error;
    return output.open(dest, error, force) ? std::string() : error;
}

// The slot's bytes into `output`: expanded and checked as the installer
// expands them, or copied as stored. "" and the size written, or the fault.
std::string writeSlotBytes(Installer& inst, const PackageEntry& e, const std::string& name,
                           const std::string& dest, OutputFile& output, int64_t& size) {
    bool writeFailed = false;
    size = e.storedSize();
    if (e.compressed) {
        const std::string problem = expansionFault(*inst.file, e, output.get(), writeFailed);
        if (!problem.empty() && !writeFailed) return problem + "; " + quoted(name) + " not written";
        size = e.expandedSize;
    } else {
        uint32_t copied = 0;
        if (inst.file->seek(e.firstByte) != rc::kOk ||
            copySlotBytes(*inst.file, output.asFile(), uint32_t(size), copied) != rc::kOk ||
            int64_t(copied) != size)
            writeFailed = true;
    }
    return writeFailed ? printable(dest) + ": cannot be written" : std::string();
}

// One slot into the request's folder under its stored name, or the reason it
// is not; kExitOk, or kExitFault with the fault printed.
[[nodiscard]] int extractOneSlot(Installer& inst, int slot, const ExtractRequest& request, std::ostream& out,
                                 std::ostream& err) {
    const PackageEntry& e = inst.header.entries[slot];
    const std::string label = slotLabel(slot);
    const std::string name = hostFileName(e.name());  // shown as the host names it
    if (name.empty()) return request.single ? fault(err, label + "unused") : kExitOk;
    const std::string refusal = refusalText(e, name, inst.size);
    if (!refusal.empty()) return fault(err, label + refusal);
    const std::string dest = joinPath(request.dir, name);
    OutputFile output;
    std::string problem = openSlotOutput(dest, request.force, output);
    if (!problem.empty()) return fault(err, label + problem);
    int64_t size = 0;
    problem = writeSlotBytes(inst, e, name, dest, output, size);
    if (!problem.empty()) return fault(err, label + problem);
    if (!output.commit(problem)) return fault(err, label + problem);
    out << label << printable(dest) << " (" << size << " bytes)\n";
    return kExitOk;
}

}  // namespace

int commandExtract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ExtractRequest request;
    if (int usage = readRequest(args, request, err)) return usage;
    Installer inst;
    std::string error;
    if (!openInstaller(request.file, inst, error)) return fault(err, error);
    // The installer extracts nothing from a header it refuses on reading.
    if (checkPackageHeader(inst.header) != rc::kOk) return refuseHeader(inst.header, inst.size, err);
    // Two slots with one name (as Windows compares names) would land on one file.
    const std::string twice = nameGivenTwice(inst.header, request.first, request.last);
    if (!twice.empty()) return fault(err, twice + "; nothing is extracted");
    if (!makeDirectory(request.dir))
        return fault(err, request.dir + ": cannot be created (" + std::strerror(errno) + ")");
    int result = kExitOk;
    for (int slot = request.first; slot <= request.last; ++slot)
        if (int failed = extractOneSlot(inst, slot, request, out, err)) result = failed;
    return result;
}

}  // namespace ssi::tool
