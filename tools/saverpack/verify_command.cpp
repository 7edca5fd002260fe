// "saverpack verify FILE": every fault of an installer's package, one a line,
// then what the installer would do wrongly with it (the checks `build` refuses
// and warns for).
#include "tools/saverpack/tool_support.h"

#include "core/buffer.h"
#include "core/roles.h"
#include "package/package_layout.h"
#include "package/slot_extraction.h"
#include "platform/file_utils.h"
#include "tools/saverpack/package_checks.h"
#include "tools/saverpack/safe_output.h"

namespace ssi::tool {

namespace {

// A slot's bytes as the installer extracts them; false when they cannot be
// read or do not expand (verify names that fault on its own).
[[nodiscard]] bool slotContent(Installer& inst, const PackageEntry& e, std::vector<uint8_t>& out) {
    out.clear();
    if (!slotBytesInFile(e, inst.size)) return false;
    if (!e.compressed) {
        ByteBuffer block;
        if (inst.file->seek(e.firstByte) != rc::kOk ||
            readSlotBlock(*inst.file, uint32_t(e.storedSize()), block) != rc::kOk)
            return false;
        out.assign(block.data(), block.data() + block.size());
        return true;
    }
    FilePtr temp(std::tmpfile());
    bool writeFailed = false;
    if (!temp || !expansionFault(*inst.file, e, temp.get(), writeFailed).empty() || writeFailed) return false;
    std::rewind(temp.get());
    out.resize(size_t(e.expandedSize));
    return out.empty() || std::fread(out.data(), 1, out.size(), temp.get()) == out.size();
}

// What `build` would refuse or warn for, read back from the installer.
std::vector<Finding> installerFindings(Installer& inst) {
    std::vector<uint8_t> image(static_cast<size_t>(kPackageOffset));
    std::vector<Finding> findings;
    if (inst.file->seek(0) == rc::kOk) {
        uint32_t got = 0;
        if (readUpTo(*inst.file, reinterpret_cast<char*>(image.data()), uint32_t(image.size()), got) ==
                rc::kOk &&
            got == image.size())
            findings = programImageFindings(image, {});
    }
    const PackageHeader& h = inst.header;
    PackageView v;
    v.installerMode = h.installerMode;
    v.showLicense = h.showLicense;
    v.showReadMe = h.showReadMe;
    v.flashVersionIndex = h.flashVersionIndex;
    v.saverName = h.name();
    std::array<std::vector<uint8_t>, kSlotCount> content;
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) {
        const PackageEntry& e = h.entries[slot];
        if (e.name().empty()) continue;
        PackageView::Slot& s = v.slots[size_t(slot)];
        s.used = true;
        s.name = e.name();
        s.kind = e.targetKind;
        const bool needsBytes = slot == slot::kPreview || slot == slot::kLicense || slot == slot::kReadMe;
        if (needsBytes && slotContent(inst, e, content[size_t(slot)])) s.bytes = &content[size_t(slot)];
    }
    for (Finding& f : nameEncodingFindings(v)) findings.push_back(std::move(f));
    for (Finding& f : packageFindings(v)) findings.push_back(std::move(f));
    return findings;
}

}  // namespace

int commandVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {{"--werror", false}});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 1) return usageError(err, "verify takes FILE [--werror]");
    std::vector<std::string> faults;
    if (!verifyInstaller(a.positional[0], faults)) return fault(err, faults.front());
    size_t warnings = 0;
    {
        Installer inst;
        std::string error;
        if (openInstaller(a.positional[0], inst, error)) {
            for (const Finding& f : installerFindings(inst)) {
                const std::string text = findingText(f, "", {});
                if (f.warning) {
                    out << "warning: " << printable(text) << "\n";
                    ++warnings;
                } else {
                    faults.push_back(text);
                }
            }
        }
    }
    for (const std::string& f : faults) out << printable(f) << "\n";
    if (faults.empty() && (warnings == 0 || !a.options.count("--werror"))) {
        out << printable(a.positional[0]) << ": ok"
            << (warnings ? " (with " + std::to_string(warnings) + (warnings == 1 ? " warning)" : " warnings)")
                         : "")
            << "\n";
        return kExitOk;
    }
    const size_t count = faults.size() + (faults.empty() ? warnings : 0);
    err << "saverpack: " << a.positional[0] << ": " << count << (faults.empty() ? " warning" : " fault")
        << (count == 1 ? "" : "s") << (faults.empty() ? " made errors by --werror" : "") << "\n";
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
        if (!problem.empty()) faults.push_back(slotLabel(slot) + problem);
    }
    return true;
}

}  // namespace ssi::tool
