// "saverpack build STUB MANIFEST OUT": an installer from a program image and a manifest.
#include "tools/saverpack/tool_support.h"

#include "package/package_layout.h"
#include "tools/saverpack/manifest.h"
#include "tools/saverpack/package_builder.h"
#include "tools/saverpack/safe_output.h"

namespace ssi::tool {

int commandBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {{"--impborl", true}, {"--force", false}});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 3)
        return usageError(err, "build takes STUB MANIFEST OUT [--impborl PATH] [--force]");
    const std::string& stubPath = a.positional[0];
    const std::string& manifestPath = a.positional[1];
    const std::string& outPath = a.positional[2];

    std::vector<uint8_t> stub;
    if (!readWholeFile(stubPath, stub))
        return fault(err, stubPath + ": cannot be read (" + readProblem(stubPath) + ")");
    PackageInput input;
    std::vector<std::string> errors;
    bool refusedText = false;
    if (!loadManifest(manifestPath, input, errors, &refusedText)) {
        for (const std::string& e : errors) err << "saverpack: " << e << "\n";
        // Not a manifest at all (binary, a bomb): most likely the wrong argument.
        return refusedText ? kExitUsage : kExitFault;
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

    std::vector<uint8_t> image;
    if (!buildInstaller(stub, input, image, errors)) {
        for (const std::string& e : errors) err << "saverpack: " << e << "\n";
        return kExitFault;
    }
    // Every file the build read: the output may be none of them.
    std::vector<std::pair<std::string, std::string>> inputs = {{"stub", stubPath},
                                                               {"manifest", manifestPath}};
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot)
        if (input.slots[slot])
            inputs.emplace_back("file of slot " + std::to_string(slot), input.slots[slot]->source);
    const bool force = a.options.count("--force") != 0;
    std::string error = outputRefusal(outPath, inputs, force);
    if (!error.empty()) return fault(err, error);
    if (!writeWholeFile(outPath, image, error, force)) return fault(err, error);
    int used = 0;
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) used += input.slots[slot] ? 1 : 0;
    out << printable(outPath) << ": " << image.size() << " bytes, " << used << " slots\n";
    return kExitOk;
}

}  // namespace ssi::tool
