#include "tools/saverpack/ssd_manifest.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <toml.hpp>

#include "package/data_file_format.h"
#include "tools/saverpack/manifest.h"
#include "tools/saverpack/manifest_text.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/suggest.h"

namespace fs = std::filesystem;

namespace ssi::tool {

bool loadItemManifest(const std::string& path, std::vector<SourceItem>& items, std::ostream& err,
                      bool& refusedText) {
    refusedText = false;
    std::vector<uint8_t> bytes;
    if (!readWholeFile(path, bytes)) {
        err << "saverpack ssd: " << printable(path) << ": cannot be read (" << readProblem(path) << ")\n";
        return false;
    }
    return parseItemManifest(path, std::string(bytes.begin(), bytes.end()), items, err, refusedText);
}

namespace {

// The faults of one item manifest, each "saverpack ssd: FILE:LINE: KEY: TEXT"
// on `err`, and the typed reads of an item's keys.
class ItemReader {
public:
    ItemReader(const std::string& path, std::ostream& err) : path_(path), err_(err) {}
    bool ok() const { return ok_; }

    // "FILE:LINE: KEY: TEXT", the line of `at`.
    void faultAt(const toml::value& at, const std::string& where, const std::string& text) {
        err_ << "saverpack ssd: " << printable(path_);
        if (at.location().line() != 0) err_ << ":" << at.location().line();
        err_ << ": " << printable(where) << ": " << printable(text) << "\n";
        ok_ = false;
    }

    int64_t integer(const toml::value& t, const std::string& where, const char* key, int64_t min,
                    int64_t max) {
        if (!t.contains(key)) return 0;
        const toml::value& v = t.at(key);
        if (!v.is_integer() || v.as_integer() < min || v.as_integer() > max) {
            faultAt(v, where + "." + key,
                    "expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
            return 0;
        }
        return v.as_integer();
    }

    // One [[item]] table: its name, kinds, class, compression and the file of
    // its bytes (a relative path is read from the manifest's folder `base`).
    SourceItem item(const toml::value& t, const std::string& where, const std::string& base) {
        static const std::vector<std::string> kKeys = {"name", "file", "kind", "kind2", "class", "compress"};
        for (const auto& kv : t.as_table())
            if (std::find(kKeys.begin(), kKeys.end(), kv.first) == kKeys.end())
                faultAt(kv.second, where + "." + kv.first, "unknown key" + didYouMean(kv.first, kKeys));
        SourceItem item;
        if (!t.contains("name") || !t.at("name").is_string())
            faultAt(t.contains("name") ? t.at("name") : t, where + ".name", "expected a string");
        else
            item.name = t.at("name").as_string().str;
        item.kind = uint8_t(integer(t, where, "kind", 0, 255));
        item.kind2 = uint8_t(integer(t, where, "kind2", 0, 255));
        item.itemClass = int32_t(integer(t, where, "class", INT32_MIN, INT32_MAX));
        if (t.contains("compress")) {
            if (!t.at("compress").is_boolean())
                faultAt(t.at("compress"), where + ".compress", "expected true or false");
            else
                item.compress = t.at("compress").as_boolean() ? 1 : 0;
        }
        if (t.contains("file")) {
            if (!t.at("file").is_string()) {
                faultAt(t.at("file"), where + ".file", "expected a string");
            } else {
                const std::string file = t.at("file").as_string().str;
                item.file = fs::path(file).is_absolute() ? file : base + file;
            }
        } else if (item.kind != kMovieItemKind) {
            faultAt(t, where + ".file", "missing (only a kind 3 item may have no bytes)");
        }
        return item;
    }

private:
    const std::string& path_;
    std::ostream& err_;
    bool ok_ = true;
};

}  // namespace

bool parseItemManifest(const std::string& path, const std::string& text, std::vector<SourceItem>& items,
                       std::ostream& err, bool& refusedText) {
    toml::value root;
    std::vector<std::string> errors;
    if (!parseToml(path, text, " (is the argument order (DIR | MANIFEST.toml) --record RECORD_FILE OUT?)",
                   root, errors, &refusedText)) {
        for (const std::string& e : errors) err << "saverpack ssd: " << e << "\n";
        return false;
    }
    ItemReader r(path, err);
    for (const auto& kv : root.as_table())
        if (kv.first != "item")
            r.faultAt(kv.second, kv.first, "unknown key" + didYouMean(kv.first, {"item"}));
    if (!root.contains("item")) return r.ok();
    const toml::value& list = root.at("item");
    if (!list.is_array()) {
        r.faultAt(list, "item", "expected [[item]] tables");
        return false;
    }
    const std::string base = folderOf(path);
    size_t index = 0;
    for (const toml::value& t : list.as_array()) {
        const std::string where = "item " + std::to_string(++index);
        if (!t.is_table())
            r.faultAt(t, where, "expected a table");
        else
            items.push_back(r.item(t, where, base));
    }
    return r.ok();
}

}  // namespace ssi::tool
