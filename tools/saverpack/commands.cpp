#include "tools/saverpack/commands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <map>
#include <memory>
#include <sstream>

#include <zlib.h>

#include "codec/implode.h"
#include "core/version.h"
#include "package/package_layout.h"
#include "tools/saverpack/manifest.h"
#include "tools/saverpack/package_builder.h"
#include "tools/saverpack/stream_codec.h"

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

namespace ssi::tool {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool fileExists(const std::string& path) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    return f != nullptr;
}

// A file written under a temporary name beside its final place and renamed
// over it only once complete: a failed command leaves what was there before.
class OutputFile {
public:
    ~OutputFile() { discard(); }

    bool open(const std::string& finalPath, std::string& error) {
        final_ = finalPath;
        for (int n = 1; n < 1000; ++n) {
            std::string candidate = finalPath + ".saverpack-" + std::to_string(n) + ".tmp";
            if (fileExists(candidate)) continue;
            file_.reset(std::fopen(candidate.c_str(), "wb"));
            if (!file_) break;
            temp_ = candidate;
            return true;
        }
        error = finalPath + ": cannot be created (" + std::strerror(errno) + ")";
        return false;
    }
    std::FILE* get() { return file_.get(); }

    bool commit(std::string& error) {
        std::FILE* f = file_.release();
        const bool written = std::fflush(f) == 0 && !std::ferror(f);
        if (std::fclose(f) != 0 || !written) {
            error = final_ + ": cannot be written";
            discard();
            return false;
        }
        if (std::rename(temp_.c_str(), final_.c_str()) != 0) {
            // Windows does not rename over an existing file.
            std::remove(final_.c_str());
            if (std::rename(temp_.c_str(), final_.c_str()) != 0) {
                error = final_ + ": cannot be replaced";
                discard();
                return false;
            }
        }
        temp_.clear();
        return true;
    }

    void discard() {
        file_.reset();
        if (!temp_.empty()) std::remove(temp_.c_str());
        temp_.clear();
    }

private:
    std::string final_;
    std::string temp_;
    FilePtr file_;
};

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& data, std::string& error) {
    OutputFile out;
    if (!out.open(path, error)) return false;
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), out.get()) != data.size()) {
        error = path + ": cannot be written";
        return false;
    }
    return out.commit(error);
}

struct Installer {
    FilePtr file;
    int64_t size = 0;
    PackageHeader header{};
};

bool openInstaller(const std::string& path, Installer& inst, std::string& error) {
    inst.file.reset(std::fopen(path.c_str(), "rb"));
    if (!inst.file) {
        error = path + ": cannot be opened (" + std::strerror(errno) + ")";
        return false;
    }
    long size = -1;
    if (std::fseek(inst.file.get(), 0, SEEK_END) == 0) size = std::ftell(inst.file.get());
    if (size < 0) {
        error = path + ": cannot be read";
        return false;
    }
    inst.size = size;
    if (inst.size < kFirstSlotOffset) {
        error = path + ": " + std::to_string(inst.size) + " bytes, too short to hold a package header (an " +
                "installer has at least " + std::to_string(kFirstSlotOffset) + ")";
        return false;
    }
    uint8_t bytes[kPackageHeaderSize];
    if (std::fseek(inst.file.get(), kPackageOffset, SEEK_SET) != 0 ||
        std::fread(bytes, 1, sizeof(bytes), inst.file.get()) != sizeof(bytes)) {
        error = path + ": the package header cannot be read";
        return false;
    }
    decodePackageHeader(bytes, inst.header);
    return true;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c < 32 || c == 127 || c == '"' || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02x", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    const char last = dir.back();
    return (last == '/' || last == '\\') ? dir + name : dir + "/" + name;
}

bool makeDirectory(const std::string& dir) {
#ifdef _WIN32
    return _mkdir(dir.c_str()) == 0 || errno == EEXIST;
#else
    return ::mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
#endif
}

// What a compressed slot's bytes expand to, checked against its expandedSize.
// Returns "" when they expand to exactly that size.
std::string expansionFault(std::FILE* file, const PackageEntry& e, std::FILE* out, bool& writeFailed) {
    const int64_t limit = e.expandedSize < 0 ? 0 : int64_t(e.expandedSize) + 1;
    std::fseek(file, e.firstByte, SEEK_SET);
    const ExplodeOutcome r = explodeStream(file, uint64_t(e.storedSize()), out, limit, writeFailed);
    if (r.overLimit)
        return "expands to more than its expandedSize of " + std::to_string(e.expandedSize) + " bytes";
    if (r.code != codec::kOk)
        return "compressed data is damaged: " + codecErrorText(r.code) + " (after " +
               std::to_string(r.produced) + " bytes)";
    if (r.produced != uint64_t(e.expandedSize))
        return "expands to " + std::to_string(r.produced) + " bytes, expandedSize says " +
               std::to_string(e.expandedSize);
    return std::string();
}

// Splits arguments into positional ones and "--name [value]" options.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::string error;
};

Arguments parseArguments(const std::vector<std::string>& args, size_t from,
                         const std::map<std::string, bool>& known /* name -> takes a value */) {
    Arguments a;
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            auto it = known.find(arg);
            if (it == known.end()) {
                a.error = "unknown option " + arg;
                return a;
            }
            if (a.options.count(arg)) {
                a.error = arg + " given twice";
                return a;
            }
            if (it->second) {
                if (i + 1 >= args.size()) {
                    a.error = arg + " needs a value";
                    return a;
                }
                a.options[arg] = args[++i];
            } else {
                a.options[arg] = "";
            }
        } else {
            a.positional.push_back(arg);
        }
    }
    return a;
}

int usageError(std::ostream& err, const std::string& text) {
    err << "saverpack: " << text << "\n"
        << "Try 'saverpack --help'.\n";
    return kExitUsage;
}

int fault(std::ostream& err, const std::string& text) {
    err << "saverpack: " << text << "\n";
    return kExitFault;
}

// ---- build ------------------------------------------------------------------

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

// ---- list -------------------------------------------------------------------

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

// ---- extract ----------------------------------------------------------------

int commandExtract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {{"--slot", true}});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 2) return usageError(err, "extract takes FILE DIR [--slot N]");
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
    if (!makeDirectory(dir)) return fault(err, dir + ": cannot be created (" + std::strerror(errno) + ")");

    int result = kExitOk;
    for (int slot = first; slot <= last; ++slot) {
        const PackageEntry& e = inst.header.entries[slot];
        const std::string label = "slot " + std::to_string(slot) + ": ";
        const std::string name = e.name();
        if (name.empty()) {
            if (single) result = fault(err, label + "unused");
            continue;
        }
        if (!isSafeFileName(name)) {
            result = fault(err, label + "refused: the name " + quoted(name) + " is not a plain file name");
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
        if (!output.open(dest, error)) {
            result = fault(err, label + error);
            continue;
        }
        bool writeFailed = false;
        int64_t size = e.storedSize();
        if (e.compressed) {
            const std::string problem = expansionFault(inst.file.get(), e, output.get(), writeFailed);
            if (!problem.empty() && !writeFailed) {
                result = fault(err, label + problem + "; " + quoted(name) + " not written");
                continue;
            }
            size = e.expandedSize;
        } else {
            std::fseek(inst.file.get(), e.firstByte, SEEK_SET);
            std::vector<char> buffer(64 * 1024);
            for (int64_t left = size; left > 0 && !writeFailed;) {
                const size_t want = size_t(std::min<int64_t>(left, int64_t(buffer.size())));
                const size_t got = std::fread(buffer.data(), 1, want, inst.file.get());
                if (got == 0 || std::fwrite(buffer.data(), 1, got, output.get()) != got) writeFailed = true;
                left -= int64_t(got);
            }
        }
        if (writeFailed) {
            result = fault(err, label + dest + ": cannot be written");
            continue;
        }
        if (!output.commit(error)) {
            result = fault(err, label + error);
            continue;
        }
        out << label << dest << " (" << size << " bytes)\n";
    }
    return result;
}

// ---- verify -----------------------------------------------------------------

int commandVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 1) return usageError(err, "verify takes FILE");
    std::vector<std::string> faults;
    if (!verifyInstaller(a.positional[0], faults)) return fault(err, faults.front());
    for (const std::string& f : faults) out << f << "\n";
    if (faults.empty()) {
        out << a.positional[0] << ": ok\n";
        return kExitOk;
    }
    err << "saverpack: " << a.positional[0] << ": " << faults.size()
        << (faults.size() == 1 ? " fault" : " faults") << "\n";
    return kExitFault;
}

// ---- implode / explode --------------------------------------------------------

int commandImplode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {{"--ascii", false}, {"--dict", true}});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 2)
        return usageError(err, "implode takes [--ascii] [--dict 1024|2048|4096] IN OUT");
    unsigned dict = codec::kDict4K;
    if (a.options.count("--dict")) {
        const std::string& d = a.options["--dict"];
        if (d == "1024")
            dict = codec::kDict1K;
        else if (d == "2048")
            dict = codec::kDict2K;
        else if (d == "4096")
            dict = codec::kDict4K;
        else
            return usageError(err, "--dict takes 1024, 2048 or 4096");
    }
    const unsigned mode = a.options.count("--ascii") ? codec::kAscii : codec::kBinary;
    FilePtr in(std::fopen(a.positional[0].c_str(), "rb"));
    if (!in) return fault(err, a.positional[0] + ": cannot be opened (" + std::strerror(errno) + ")");
    OutputFile output;
    std::string error;
    if (!output.open(a.positional[1], error)) return fault(err, error);
    bool readFailed = false, writeFailed = false;
    const unsigned code = implodeStream(in.get(), output.get(), mode, dict, readFailed, writeFailed);
    if (readFailed) return fault(err, a.positional[0] + ": cannot be read");
    if (writeFailed) return fault(err, a.positional[1] + ": cannot be written");
    if (code != codec::kOk) return fault(err, "compression failed: " + codecErrorText(code));
    if (!output.commit(error)) return fault(err, error);
    out << a.positional[1] << ": compressed\n";
    return kExitOk;
}

int commandExplode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 2) return usageError(err, "explode takes IN OUT");
    FilePtr in(std::fopen(a.positional[0].c_str(), "rb"));
    if (!in) return fault(err, a.positional[0] + ": cannot be opened (" + std::strerror(errno) + ")");
    OutputFile output;
    std::string error;
    if (!output.open(a.positional[1], error)) return fault(err, error);
    bool writeFailed = false;
    const ExplodeOutcome r = explodeStream(in.get(), UINT64_MAX, output.get(), -1, writeFailed);
    if (writeFailed) return fault(err, a.positional[1] + ": cannot be written");
    if (std::ferror(in.get())) return fault(err, a.positional[0] + ": cannot be read");
    if (r.code != codec::kOk)
        return fault(err, a.positional[0] + ": not a complete implode stream: " + codecErrorText(r.code));
    if (!output.commit(error)) return fault(err, error);
    out << a.positional[1] << ": " << r.produced << " bytes\n";
    return kExitOk;
}

}  // namespace

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
        const std::string problem = expansionFault(inst.file.get(), e, nullptr, writeFailed);
        if (!problem.empty()) faults.push_back("slot " + std::to_string(slot) + ": " + problem);
    }
    return true;
}

std::string usageText() {
    return "usage: saverpack COMMAND ARGUMENTS\n"
           "\n"
           "Installer packages:\n"
           "  build STUB MANIFEST OUT [--impborl PATH]\n"
           "        make the installer OUT from the program image STUB and a TOML manifest;\n"
           "        slot 1 is the decompression library PATH (default: impborl.dll beside\n"
           "        STUB) unless the manifest gives [slots.1]\n"
           "  list FILE\n"
           "        the installer's settings and its slot table\n"
           "  extract FILE DIR [--slot N]\n"
           "        every used slot 1..10 (or slot N), expanded, into DIR under its stored name\n"
           "  verify FILE\n"
           "        check the package layout, settings and names, and that every compressed\n"
           "        slot expands to exactly its expandedSize; one line per fault\n"
           "\n"
           "Implode streams:\n"
           "  implode [--ascii] [--dict 1024|2048|4096] IN OUT\n"
           "        compress IN (binary literals and a 4096-byte dictionary by default)\n"
           "  explode IN OUT\n"
           "        expand IN\n"
           "\n"
           "Screen saver data files and movies:\n"
           "  ssd ...   see 'saverpack ssd --help'\n"
           "  swf ...   see 'saverpack swf --help'\n"
           "\n"
           "Other:\n"
           "  --help, -h       this text\n"
           "  --version, -V    the tool's version and the codec it was built with\n"
           "\n"
           "Exit status: 0 success, 1 a fault in the input or an I/O error, 2 a usage error.\n";
}

std::string versionText() {
    return std::string("saverpack ") + SSI_VERSION_TEXT + "\n" +
           "codec: " SSI_CODEC_NAME " " SSI_CODEC_VERSION_TEXT " (built in; the same code as impborl.dll)\n" +
           "zlib " + zlibVersion() + " (movie inflation)\n";
}

int runSaverpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 2) {
        err << usageText();
        return kExitUsage;
    }
    const std::string& verb = args[1];
    if (verb == "--help" || verb == "-h" || verb == "help") {
        out << usageText();
        return kExitOk;
    }
    if (verb == "--version" || verb == "-V") {
        if (args.size() != 2) return usageError(err, verb + " takes no arguments");
        out << versionText();
        return kExitOk;
    }
    if (verb == "build") return commandBuild(args, out, err);
    if (verb == "list") return commandList(args, out, err);
    if (verb == "extract") return commandExtract(args, out, err);
    if (verb == "verify") return commandVerify(args, out, err);
    if (verb == "implode") return commandImplode(args, out, err);
    if (verb == "explode") return commandExplode(args, out, err);
    return usageError(err, "unknown command '" + verb + "'");
}

}  // namespace ssi::tool
