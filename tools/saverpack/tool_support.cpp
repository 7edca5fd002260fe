#include "tools/saverpack/tool_support.h"

#include <cerrno>
#include <cstring>

#include "codec/implode.h"
#include "package/package_layout.h"
#include "package/slot_extraction.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/stream_codec.h"

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

namespace ssi::tool {

bool fileExists(const std::string& path) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    return f != nullptr;
}

bool OutputFile::open(const std::string& finalPath, std::string& error, bool replace) {
    final_ = finalPath;
    replace_ = replace;
    for (int n = 1; n < 1000; ++n) {
        std::string candidate = finalPath + ".saverpack-" + std::to_string(n) + ".tmp";
        // Created exclusively: a name already taken (a symbolic link
        // planted there included) is never written through.
        file_.reset(createExclusive(candidate));
        if (!file_ && errno == EEXIST) continue;
        if (!file_) break;
        temp_ = candidate;
        view_ = std::make_unique<HostFile>(file_.get(), false);
        return true;
    }
    error = finalPath + ": cannot be created (" + std::strerror(errno) + ")";
    return false;
}

bool OutputFile::commit(std::string& error) {
    view_.reset();
    std::FILE* f = file_.release();
    const bool written = std::fflush(f) == 0 && !std::ferror(f);
    if (std::fclose(f) != 0 || !written) {
        error = final_ + ": cannot be written";
        discard();
        return false;
    }
    if (!moveIntoPlace(temp_, final_, replace_)) {
        error = errno == EEXIST ? final_ + ": already exists (give --force to replace it)"
                                : final_ + ": cannot be " + (replace_ ? "replaced" : "created") + " (" +
                                      std::strerror(errno) + ")";
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

void OutputFile::discard() {
    view_.reset();
    file_.reset();
    if (!temp_.empty()) std::remove(temp_.c_str());
    temp_.clear();
}

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& data, std::string& error,
                    bool replace) {
    OutputFile out;
    if (!out.open(path, error, replace)) return false;
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), out.get()) != data.size()) {
        error = path + ": cannot be written";
        return false;
    }
    return out.commit(error);
}

Arguments parseArguments(const std::vector<std::string>& args, size_t from,
                         const std::map<std::string, bool>& known) {
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
    err << "saverpack: " << printable(text) << "\n"
        << "Try 'saverpack --help'.\n";
    return kExitUsage;
}

int fault(std::ostream& err, const std::string& text) {
    err << "saverpack: " << printable(text) << "\n";
    return kExitFault;
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

bool openInstaller(const std::string& path, Installer& inst, std::string& error) {
    if (inst.files.openFile(path, FileAccess::Read, inst.file) != rc::kOk) {
        error = path + ": cannot be opened (" + std::strerror(errno) + ")";
        return false;
    }
    if (inst.file->size(inst.size) != rc::kOk) {
        error = path + ": cannot be read";
        return false;
    }
    const Result read = readPackageHeaderBytes(*inst.file, inst.header);
    if (read == rc::kShortHeader) {
        error = path + ": " + std::to_string(inst.size) + " bytes, too short to hold a package header (an " +
                "installer has at least " + std::to_string(kFirstSlotOffset) + ")";
        return false;
    }
    if (read != rc::kOk) {
        error = path + ": the package header cannot be read";
        return false;
    }
    return true;
}

std::string expansionFault(const ByteBuffer& block, int32_t expandedSize, std::FILE* out, bool& writeFailed) {
    writeFailed = false;
    const ExplodeOutcome r =
        explodeBlock(block.data(), block.size(), out, expansionLimit(expandedSize), writeFailed);
    // The size decides, as in the installer; the codec only says why it is wrong.
    if (r.overLimit)
        return "expands to more than its expandedSize of " + std::to_string(expandedSize) + " bytes";
    if (expandedSizeMatches(expandedSize, r.produced)) return std::string();
    if (r.code != codec::kOk)
        return "compressed data is damaged: " + codecErrorText(r.code) + " (after " +
               std::to_string(r.produced) + " bytes)";
    return "expands to " + std::to_string(r.produced) + " bytes, expandedSize says " +
           std::to_string(expandedSize);
}

std::string expansionFault(File& package, const PackageEntry& e, std::FILE* out, bool& writeFailed) {
    writeFailed = false;
    ByteBuffer block;
    Result read = package.seek(e.firstByte);
    if (read == rc::kOk) read = readSlotBlock(package, uint32_t(e.storedSize()), block);
    if (read != rc::kOk) return "the stored bytes cannot be read";
    return expansionFault(block, e.expandedSize, out, writeFailed);
}

}  // namespace ssi::tool
