// "saverpack build STUB MANIFEST OUT": an installer from a program image and a manifest.
#include "tools/saverpack/tool_support.h"

#include "package/package_layout.h"
#include "tools/saverpack/manifest.h"
#include "tools/saverpack/package_builder.h"

namespace ssi::tool {

int commandBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {{"--impborl", true}});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 3) return usageError(err, "build takes STUB MANIFEST OUT [--impborl PATH]");
    const std::string& stubPath = a.positional[0];
    const std::string& manifestPath = a.positional[1];
    const std::string& outPath = a.positional[2];

    std::vector<uint8_t> stub;
    if (!readWholeFile(stubPath, stub)) return fault(err, stubPath + ": cannot be read");
    PackageInput input;
    std::vector<std::string> errors;
    if (!loadManifest(manifestPath, input, errors)) {
        for (const std::string& e : errors) err << "saverpack: " << e << "\n";
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

    std::vector<uint8_t> image;
    if (!buildInstaller(stub, input, image, errors)) {
        for (const std::string& e : errors) err << "saverpack: " << e << "\n";
        return kExitFault;
    }
    std::string error;
    if (!writeWholeFile(outPath, image, error)) return fault(err, error);
    int used = 0;
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) used += input.slots[slot] ? 1 : 0;
    out << outPath << ": " << image.size() << " bytes, " << used << " slots\n";
    return kExitOk;
}

}  // namespace ssi::tool
