#include "tools/saverpack/manifest.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <toml.hpp>

#include "codec/library_interface.h"
#include "tools/saverpack/commands.h"
#include "tools/saverpack/manifest_text.h"
#include "tools/saverpack/name_rules.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/suggest.h"
#include "tools/saverpack/tool_support.h"

namespace ssi::tool {

namespace {

bool isAbsolute(const std::string& path) {
    return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() >= 2 && path[1] == ':');
}

class Reader {
public:
    Reader(std::string file, std::vector<std::string>& errors) : file_(std::move(file)), errors_(errors) {}

    // "FILE: KEY: TEXT".
    void error(const std::string& key, const std::string& text) {
        errors_.push_back(printable(file_) + ": " + printable(key) + ": " + printable(text));
    }
    // "FILE:LINE: KEY: TEXT", the line where `at` stands in the manifest.
    void error(const toml::value& at, const std::string& key, const std::string& text) {
        const auto line = at.location().line();
        if (line == 0) return error(key, text);
        errors_.push_back(printable(file_) + ":" + std::to_string(line) + ": " + printable(key) + ": " +
                          printable(text));
    }

    // Every key of the table must be one of `known`; an unknown one gets the
    // nearest known key as a suggestion.
    void onlyKeys(const toml::value& table, const std::string& where, const std::set<std::string>& known) {
        for (const auto& kv : table.as_table())
            if (!known.count(kv.first))
                error(kv.second, where + kv.first,
                      "unknown key" +
                          didYouMean(kv.first, std::vector<std::string>(known.begin(), known.end())));
    }

    bool has(const toml::value& table, const std::string& key) { return table.as_table().count(key) != 0; }

    bool boolean(const toml::value& table, const std::string& where, const std::string& key, bool fallback) {
        if (!has(table, key)) return fallback;
        const toml::value& v = table.as_table().at(key);
        if (!v.is_boolean()) {
            error(v, where + key, "expected true or false");
            return fallback;
        }
        return v.as_boolean();
    }

    int64_t integer(const toml::value& table, const std::string& where, const std::string& key,
                    int64_t fallback, int64_t min, int64_t max, bool required = false) {
        if (!has(table, key)) {
            if (required) error(table, where + key, "missing");
            return fallback;
        }
        const toml::value& v = table.as_table().at(key);
        if (!v.is_integer() || v.as_integer() < min || v.as_integer() > max) {
            error(v, where + key,
                  "expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
            return fallback;
        }
        return v.as_integer();
    }

    // A string that must be a file or folder name where the installer puts
    // it: why it cannot be, named by its key.
    void plainName(const toml::value& table, const std::string& where, const std::string& key,
                   const std::string& name, const std::string& what) {
        const std::string why = nameProblem(name);
        if (!name.empty() && !why.empty())
            error(has(table, key) ? table.as_table().at(key) : table, where + key,
                  what + " \"" + name + "\" is not a plain " + (key == "saver_name" ? "folder" : "file") +
                      " name: " + why);
    }

    std::string string(const toml::value& table, const std::string& where, const std::string& key,
                       const std::string& fallback, bool required = false) {
        if (!has(table, key)) {
            if (required) error(table, where + key, "missing");
            return fallback;
        }
        const toml::value& v = table.as_table().at(key);
        if (!v.is_string()) {
            error(v, where + key, "expected a string");
            return fallback;
        }
        return v.as_string().str;
    }

private:
    std::string file_;
    std::vector<std::string>& errors_;
};

// The line of every table and key of the manifest, for messages that point
// at the source ("slots.3.file" -> 12).
void recordKeyLines(const toml::value& value, std::map<std::string, int>& lines, const std::string& prefix = "") {
    if (!value.is_table()) return;
    for (const auto& kv : value.as_table()) {
        const std::string key = prefix + kv.first;
        lines[key] = int(kv.second.location().line());
        recordKeyLines(kv.second, lines, key + ".");
    }
}

// [settings]: the header's settings.
void readSettings(Reader& r, const toml::value& settings, PackageInput& out) {
    const std::string s = "settings.";
    r.onlyKeys(settings, s,
               {"saver_name", "mode", "license", "readme", "flash_installer", "flash_version_index",
                "display_panel", "code_page"});
    out.saverName = r.string(settings, s, "saver_name", "", true);
    r.plainName(settings, s, "saver_name", out.saverName, "the saver name");
    out.installerMode = uint8_t(r.integer(settings, s, "mode", 0, 0, 255, true));
    out.showLicense = r.boolean(settings, s, "license", false);
    out.showReadMe = r.boolean(settings, s, "readme", false);
    out.carriesFlashInstaller = r.boolean(settings, s, "flash_installer", false);
    out.flashVersionIndex = uint8_t(r.integer(settings, s, "flash_version_index", 0, 0, 1));
    out.offerDisplayPanel = r.boolean(settings, s, "display_panel", false);
    out.codePage = int(r.integer(settings, s, "code_page", out.codePage, 1, 65535));
}

// How a compressed slot is imploded: "literals" and "dictionary".
void readCompression(Reader& r, const toml::value& t, const std::string& where, SlotInput& in) {
    in.compress = r.boolean(t, where, "compress", false);
    const std::string literals = r.string(t, where, "literals", "binary");
    if (literals == "binary")
        in.literalMode = codec::kBinary;
    else if (literals == "ascii")
        in.literalMode = codec::kAscii;
    else
        r.error(t.as_table().at("literals"), where + "literals", "expected \"binary\" or \"ascii\"");
    in.dictSize = unsigned(r.integer(t, where, "dictionary", codec::kDict4K, codec::kDict1K, codec::kDict4K));
    if (!codec::isDictionarySize(in.dictSize))
        r.error(t.as_table().at("dictionary"), where + "dictionary", "expected 1024, 2048 or 4096");
    if (!in.compress && (r.has(t, "literals") || r.has(t, "dictionary")))
        r.error(t, where + "compress", "literals and dictionary apply to compressed slots only");
}

// [slots.N]: the slot's number, its stored name and kind, how it is
// compressed, and its file's bytes (a relative path is read from the
// manifest's folder `base`).
void readSlot(Reader& r, const std::string& key, const toml::value& t, const std::string& base,
              PackageInput& out) {
    const std::string where = "slots." + key + ".";
    int slot = -1;
    if (key.size() <= 2 && key.find_first_not_of("0123456789") == std::string::npos) slot = std::stoi(key);
    if (slot < 1 || slot > 10) {
        r.error(t, "slots." + key, "slots are numbered 1 to 10 (slot 0 is the stub)");
        return;
    }
    if (!t.is_table()) {
        r.error(t, "slots." + key, "expected a table");
        return;
    }
    r.onlyKeys(t, where, {"file", "name", "kind", "compress", "literals", "dictionary"});
    SlotInput in;
    const std::string file = r.string(t, where, "file", "", true);
    in.name = r.string(t, where, "name", baseNameOf(file));
    if (r.has(t, "name")) r.plainName(t, where, "name", in.name, "the stored name");
    in.kind = int32_t(r.integer(t, where, "kind", kDefaultSlotKinds[slot], 0, 10));
    readCompression(r, t, where, in);
    if (file.empty()) return;
    in.source = isAbsolute(file) ? file : base + file;
    if (!readWholeFile(in.source, in.data)) {
        r.error(t.as_table().at("file"), where + "file",
                in.source + " cannot be read (" + readProblem(in.source) + ")");
        return;
    }
    out.slots[slot] = std::move(in);
}

}  // namespace

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    // Only files: a pipe or a device named by a manifest ("/dev/stdin")
    // would never end.
    if (!identityOf(path).regular) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    // A package cannot hold more; this also refuses folders and devices.
    if (size < 0 || size > std::streamoff(INT32_MAX)) return false;
    in.seekg(0, std::ios::beg);
    out.resize(size_t(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(out.data()), size)) return false;
    return true;
}

std::string folderOf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string baseNameOf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string readProblem(const std::string& path) {
    const FileIdentity id = identityOf(path);
    if (!id.exists) return "No such file or directory";
    if (id.folder) return "it is a folder";
    if (!id.regular) return "not a regular file";
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) return std::strerror(errno);
    return "larger than a package can hold, or not a regular file";
}

bool loadManifest(const std::string& path, PackageInput& out, std::vector<std::string>& errors,
                  bool* refusedText) {
    errors.clear();
    out = PackageInput{};
    if (refusedText) *refusedText = false;
    std::vector<uint8_t> bytes;
    if (!readWholeFile(path, bytes)) {
        errors.push_back(printable(path) + ": cannot be read (" + readProblem(path) + ")");
        return false;
    }
    return parseManifest(path, std::string(bytes.begin(), bytes.end()), out, errors, refusedText);
}

bool parseManifest(const std::string& path, const std::string& text, PackageInput& out,
                   std::vector<std::string>& errors, bool* refusedText) {
    errors.clear();
    out = PackageInput{};
    toml::value root;
    if (!parseToml(path, text, " (is the argument order STUB MANIFEST OUT?)", root, errors, refusedText))
        return false;

    recordKeyLines(root, out.keyLines);
    Reader r(path, errors);
    r.onlyKeys(root, "", {"settings", "slots"});
    if (!r.has(root, "settings") || !root.as_table().at("settings").is_table()) {
        r.error("settings", "missing table [settings]");
        return false;
    }
    readSettings(r, root.as_table().at("settings"), out);

    if (r.has(root, "slots")) {
        const toml::value& slots = root.as_table().at("slots");
        if (!slots.is_table()) {
            r.error(slots, "slots", "expected tables [slots.1] to [slots.10]");
            return false;
        }
        for (const auto& kv : slots.as_table()) readSlot(r, kv.first, kv.second, folderOf(path), out);
    }
    return errors.empty();
}

}  // namespace ssi::tool
