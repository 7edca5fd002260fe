// "saverpack build STUB MANIFEST OUT": an installer from a program image and a manifest.
#include "tools/saverpack/tool_support.h"

#include "package/package_layout.h"
#include "tools/saverpack/codepage.h"
#include "tools/saverpack/manifest.h"
#include "tools/saverpack/package_builder.h"
#include "tools/saverpack/package_checks.h"
#include "tools/saverpack/package_table.h"
#include "tools/saverpack/safe_output.h"

namespace ssi::tool {

namespace {

// The names the installer hands to the system, in the package's code page.
bool transcodeNames(PackageInput& input, std::vector<Finding>& findings) {
    std::string fault;
    if (!codePageSupported(input.codePage)) {
        findings.push_back({false, "settings.code_page",
                            "code page " + std::to_string(input.codePage) + " is not supported (1252 is)"});
        return false;
    }
    bool ok = true;
    auto convert = [&](std::string& name, const std::string& key) {
        std::string converted;
        if (fromUtf8(name, input.codePage, converted, fault)) {
            name = converted;
        } else {
            findings.push_back({false, key, fault});
            ok = false;
        }
    };
    convert(input.saverName, "settings.saver_name");
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot)
        if (input.slots[slot]) convert(input.slots[slot]->name, "slots." + std::to_string(slot) + ".name");
    return ok;
}

PackageView viewOf(const PackageInput& input) {
    PackageView v;
    v.installerMode = input.installerMode;
    v.showLicense = input.showLicense;
    v.showReadMe = input.showReadMe;
    v.flashVersionIndex = input.flashVersionIndex;
    v.saverName = input.saverName;
    v.codePage = input.codePage;
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) {
        if (!input.slots[slot]) continue;
        PackageView::Slot& s = v.slots[size_t(slot)];
        s.used = true;
        s.name = input.slots[slot]->name;
        s.kind = input.slots[slot]->kind;
        s.bytes = &input.slots[slot]->data;
        s.source = input.slots[slot]->source;
    }
    return v;
}

// Prints every finding; true when none refuses the build (with --werror,
// when there is none at all).
bool report(const std::vector<Finding>& findings, const std::string& manifestPath,
            const std::map<std::string, int>& lines, bool werror, std::ostream& err) {
    size_t refusals = 0, warnings = 0;
    for (const Finding& f : findings) {
        err << "saverpack: " << (f.warning ? "warning: " : "") << findingText(f, manifestPath, lines) << "\n";
        (f.warning ? warnings : refusals) += 1;
    }
    if (werror && warnings > 0 && refusals == 0)
        err << "saverpack: " << warnings << (warnings == 1 ? " warning" : " warnings")
            << " made errors by --werror; nothing written\n";
    return refusals == 0 && !(werror && warnings > 0);
}

}  // namespace

int commandBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {{"--impborl", true}, {"--werror", false}, {"--dry-run", false}, {"--force", false}});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 3)
        return usageError(err, "build takes STUB MANIFEST OUT [--impborl PATH] [--werror] [--dry-run] [--force]");
    const std::string& stubPath = a.positional[0];
    const std::string& manifestPath = a.positional[1];
    const std::string& outPath = a.positional[2];
    const bool werror = a.options.count("--werror") != 0;
    const bool dryRun = a.options.count("--dry-run") != 0;

    std::vector<uint8_t> stub, manifestBytes;
    if (!readWholeFile(stubPath, stub))
        return fault(err, stubPath + ": cannot be read (" + readProblem(stubPath) + ")");
    // Only for the hint about the arguments' order; loadManifest reads it again.
    if (!readWholeFile(manifestPath, manifestBytes)) manifestBytes.clear();
    const std::map<std::string, int> noLines;
    if (const std::vector<Finding> image = programImageFindings(stub, manifestBytes); !image.empty()) {
        for (const Finding& f : image) err << "saverpack: " << printable(stubPath) << ": " << printable(f.text) << "\n";
        // A program where the manifest should be: the arguments are swapped, a usage error.
        const bool swapped = manifestBytes.size() >= 2 && manifestBytes[0] == 'M' && manifestBytes[1] == 'Z';
        return swapped ? kExitUsage : kExitFault;
    }
    PackageInput input;
    std::vector<std::string> errors;
    bool refusedText = false;
    if (!loadManifest(manifestPath, input, errors, &refusedText)) {
        for (const std::string& e : errors) err << "saverpack: " << e << "\n";
        // Not a manifest at all (binary, a bomb): most likely the wrong argument.
        return refusedText ? kExitUsage : kExitFault;
    }
    std::vector<Finding> findings;
    if (!transcodeNames(input, findings)) {
        report(findings, manifestPath, input.keyLines, werror, err);
        return kExitFault;
    }
    if (input.slots[1] && a.options.count("--impborl"))
        return usageError(err, "--impborl and the manifest's [slots.1] both give slot 1");
    if (!input.slots[1]) {
        SlotInput library;
        library.source = a.options.count("--impborl") ? a.options["--impborl"]
                                                      : joinPath(folderOf(stubPath), "impborl.dll");
        if (!readWholeFile(library.source, library.data))
            return fault(err, library.source +
                                  ": the decompression library cannot be read (give it with "
                                  "--impborl PATH or as [slots.1])");
        library.name = kLibrarySlotName;
        library.kind = kLibrarySlotKind;
        library.compress = false;
        input.slots[1] = std::move(library);
    }

    findings = packageFindings(viewOf(input));
    std::vector<uint8_t> image;
    std::vector<std::string> storedInstead;
    if (!buildInstaller(stub, input, image, errors, &storedInstead)) {
        report(findings, manifestPath, input.keyLines, werror, err);
        for (const std::string& e : errors) err << "saverpack: " << e << "\n";
        return kExitFault;
    }
    for (const std::string& note : storedInstead) {
        const size_t cut = note.find(": ");
        findings.push_back({true, note.substr(0, cut), note.substr(cut + 2)});
    }
    if (!report(findings, manifestPath, input.keyLines, werror, err)) return kExitFault;

    // Every file the build read: the output may be none of them. A dry run
    // says so too, as the build would.
    std::vector<std::pair<std::string, std::string>> inputs = {{"stub", stubPath},
                                                               {"manifest", manifestPath}};
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot)
        if (input.slots[slot])
            inputs.emplace_back("file of slot " + std::to_string(slot), input.slots[slot]->source);
    const bool force = a.options.count("--force") != 0;
    std::string error = outputRefusal(outPath, inputs, force);
    if (!error.empty()) return fault(err, error);

    int used = 0;
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) used += input.slots[slot] ? 1 : 0;
    if (dryRun) {
        PackageHeader header;
        uint8_t bytes[kPackageHeaderSize];
        std::copy(image.begin() + kPackageOffset, image.begin() + kFirstSlotOffset, bytes);
        decodePackageHeader(bytes, header);
        printPackageTable(header, int64_t(image.size()), input.codePage, out);
        out << "\n"
            << printable(outPath) << ": would be " << image.size() << " bytes, " << used
            << " slots (--dry-run: nothing written)\n";
        return kExitOk;
    }
    if (!writeWholeFile(outPath, image, error, force)) return fault(err, error);
    out << printable(outPath) << ": " << image.size() << " bytes, " << used << " slots\n";
    return kExitOk;
}

}  // namespace ssi::tool
