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
[[nodiscard]] bool transcodeNames(PackageInput& input, std::vector<Finding>& findings) {
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
        if (input.slots[slot]) convert(input.slots[slot]->name, slotKey(slot, "name"));
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
[[nodiscard]] bool report(const std::vector<Finding>& findings, const std::string& manifestPath,
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

// What build was asked for.
struct BuildRequest {
    std::string stubPath;
    std::string manifestPath;
    std::string outPath;
    std::string impborl;        // --impborl's path, or ""
    bool givesLibrary = false;  // whether --impborl was given
    bool werror = false;
    bool dryRun = false;
    bool force = false;
};

// The arguments STUB MANIFEST OUT and the options; kExitOk, or the usage
// error already printed.
[[nodiscard]] int readBuildRequest(const std::vector<std::string>& args, BuildRequest& request,
                                   std::ostream& err) {
    Arguments a = parseArguments(
        args, 2, {{"--impborl", true}, {"--werror", false}, {"--dry-run", false}, {"--force", false}});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 3)
        return usageError(err,
                          "build takes STUB MANIFEST OUT [--impborl PATH] [--werror] [--dry-run] [--force]");
    request.stubPath = a.positional[0];
    request.manifestPath = a.positional[1];
    request.outPath = a.positional[2];
    request.givesLibrary = a.options.count("--impborl") != 0;
    if (request.givesLibrary) request.impborl = a.options["--impborl"];
    request.werror = a.options.count("--werror") != 0;
    request.dryRun = a.options.count("--dry-run") != 0;
    request.force = a.options.count("--force") != 0;
    return kExitOk;
}

// The program image STUB, checked as an installer program; kExitOk, or the
// exit code with the faults printed (a usage error when the manifest given is
// a program: the arguments are swapped).
[[nodiscard]] int readProgramImage(const BuildRequest& request, std::vector<uint8_t>& stub,
                                   std::ostream& err) {
    if (!readWholeFile(request.stubPath, stub))
        return fault(err, request.stubPath + ": cannot be read (" + readProblem(request.stubPath) + ")");
    // Only for the hint about the arguments' order; loadManifest reads it again.
    std::vector<uint8_t> manifestBytes;
    if (!readWholeFile(request.manifestPath, manifestBytes)) manifestBytes.clear();
    const std::vector<Finding> image = programImageFindings(stub, manifestBytes);
    if (image.empty()) return kExitOk;
    for (const Finding& f : image)
        err << "saverpack: " << printable(request.stubPath) << ": " << printable(f.text) << "\n";
    const bool swapped = manifestBytes.size() >= 2 && manifestBytes[0] == 'M' && manifestBytes[1] == 'Z';
    return swapped ? kExitUsage : kExitFault;
}

// The manifest, its names in the package's code page, and slot 1 from
// --impborl or beside STUB when the manifest does not give it; kExitOk, or
// the exit code with the faults printed.
[[nodiscard]] int readPackageInput(const BuildRequest& request, PackageInput& input, std::ostream& err) {
    std::vector<std::string> errors;
    bool refusedText = false;
    if (!loadManifest(request.manifestPath, input, errors, &refusedText)) {
        for (const std::string& e : errors) err << "saverpack: " << e << "\n";
        // Not a manifest at all (binary, a bomb): most likely the wrong argument.
        return refusedText ? kExitUsage : kExitFault;
    }
    std::vector<Finding> findings;
    if (!transcodeNames(input, findings)) {
        ignoreResult(report(findings, request.manifestPath, input.keyLines, request.werror, err),
                     "the names refuse the build already; the report only prints why");
        return kExitFault;
    }
    if (input.slots[1] && request.givesLibrary)
        return usageError(err, "--impborl and the manifest's [slots.1] both give slot 1");
    if (input.slots[1]) return kExitOk;
    SlotInput library;
    library.source =
        request.givesLibrary ? request.impborl : joinPath(folderOf(request.stubPath), "impborl.dll");
    if (!readWholeFile(library.source, library.data))
        return fault(err, library.source +
                              ": the decompression library cannot be read (give it with "
                              "--impborl PATH or as [slots.1])");
    library.name = kLibrarySlotName;
    library.kind = kLibrarySlotKind;
    library.compress = false;
    input.slots[1] = std::move(library);
    return kExitOk;
}

// The installer's bytes, with the package's findings printed; false when the
// build is refused.
[[nodiscard]] bool buildImage(const BuildRequest& request, const std::vector<uint8_t>& stub,
                              const PackageInput& input, std::vector<uint8_t>& image, std::ostream& err) {
    std::vector<Finding> findings = packageFindings(viewOf(input));
    std::vector<std::string> errors, storedInstead;
    if (!buildInstaller(stub, input, image, errors, &storedInstead)) {
        ignoreResult(report(findings, request.manifestPath, input.keyLines, request.werror, err),
                     "the build is refused already; the report only prints the findings");
        for (const std::string& e : errors) err << "saverpack: " << e << "\n";
        return false;
    }
    for (const std::string& note : storedInstead) {
        const size_t cut = note.find(": ");
        findings.push_back({true, note.substr(0, cut), note.substr(cut + 2)});
    }
    return report(findings, request.manifestPath, input.keyLines, request.werror, err);
}

// Every file the build read, each named for the message: the output may be
// none of them.
std::vector<std::pair<std::string, std::string>> inputFiles(const BuildRequest& request,
                                                            const PackageInput& input) {
    std::vector<std::pair<std::string, std::string>> inputs = {{"stub", request.stubPath},
                                                               {"manifest", request.manifestPath}};
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot)
        if (input.slots[slot])
            inputs.emplace_back("file of slot " + std::to_string(slot), input.slots[slot]->source);
    return inputs;
}

// --dry-run: the slot table the installer would read, and nothing written.
void printDryRun(const BuildRequest& request, const std::vector<uint8_t>& image, int codePage, int used,
                 std::ostream& out) {
    PackageHeader header;
    uint8_t bytes[kPackageHeaderSize];
    std::copy(image.begin() + kPackageOffset, image.begin() + kFirstSlotOffset, bytes);
    decodePackageHeader(bytes, header);
    printPackageTable(header, int64_t(image.size()), codePage, out);
    out << "\n"
        << printable(request.outPath) << ": would be " << image.size() << " bytes, " << used
        << " slots (--dry-run: nothing written)\n";
}

}  // namespace

int commandBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    BuildRequest request;
    if (int usage = readBuildRequest(args, request, err)) return usage;
    std::vector<uint8_t> stub;
    if (int failed = readProgramImage(request, stub, err)) return failed;
    PackageInput input;
    if (int failed = readPackageInput(request, input, err)) return failed;
    std::vector<uint8_t> image;
    if (!buildImage(request, stub, input, image, err)) return kExitFault;
    // A dry run refuses the output as the build would.
    std::string error = outputRefusal(request.outPath, inputFiles(request, input), request.force);
    if (!error.empty()) return fault(err, error);

    int used = 0;
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) used += input.slots[slot] ? 1 : 0;
    if (request.dryRun) {
        printDryRun(request, image, input.codePage, used, out);
        return kExitOk;
    }
    if (!writeWholeFile(request.outPath, image, error, request.force)) return fault(err, error);
    out << printable(request.outPath) << ": " << image.size() << " bytes, " << used << " slots\n";
    return kExitOk;
}

}  // namespace ssi::tool
