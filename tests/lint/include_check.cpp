// The include check: every #include line of the product's folders must point
// down the order of the folders. The order is not written here: CMake writes
// it from cmake/Layers.cmake into build/<tree>/layers.txt, and this program
// reads that file.
//
//   include_check LAYERS ROOT   exit 0 when every include keeps the order; else
//                               one line per fault (file, line, the rule it
//                               breaks) and exit 1; exit 2 on misuse
//
// What cannot slip past it:
// - every top folder of ROOT is read, except those declared outside the
//   product; a folder with source files that is in no layer is a fault, and so
//   is a source file beside the folders;
// - every source file (.h .hh .hpp .hxx .inc .ipp .c .cc .cpp .cxx .rc) is read,
//   and so is any other file of a product folder that an include reaches;
// - a line is read as the compiler reads it: continued lines joined, comments
//   removed (a comment may sit between # and include), %: taken for #;
//   #include_next and #import count as includes;
// - an include path is judged by the file it reaches: relative to the
//   including file first, then from ROOT, with ./ and ../ worked out; a path
//   with ./ or ../ is refused even where it reaches an allowed file, and one
//   that climbs out of ROOT too;
// - an absolute path ("/...", "\\...", "C:...") is refused, whatever it reaches;
// - a name that reaches a product file only through an extra include folder
//   ("installer_window.h" for app/installer_window.h) is refused;
// - an include written through a macro (#include HEADER) cannot be judged and
//   is refused; so is a link in a product folder.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A product folder and the folders its files may include.
struct Layer {
    std::string folder;
    std::set<std::string> allowed;
};

struct Rules {
    std::vector<Layer> layers;
    std::map<std::string, std::string> entries;  // file -> the one folder more it may include
    std::set<std::string> outside;               // top folders that hold no product code
};

[[nodiscard]] bool readRules(const fs::path& path, Rules& rules) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        if (!(words >> kind) || kind[0] == '#') continue;
        if (kind == "layer") {
            Layer l;
            if (!(words >> l.folder)) return false;
            l.allowed.insert(l.folder);
            for (std::string w; words >> w;) l.allowed.insert(w);
            rules.layers.push_back(l);
        } else if (kind == "entry") {
            std::string file, folder;
            if (!(words >> file >> folder)) return false;
            rules.entries[file] = folder;
        } else if (kind == "outside") {
            for (std::string w; words >> w;) rules.outside.insert(w);
        } else {
            return false;
        }
    }
    return !rules.layers.empty();
}

bool isSource(const fs::path& p) {
    static const std::set<std::string> kExtensions = {".h", ".hh", ".hpp", ".hxx", ".inc", ".ipp",
                                                      ".c", ".cc", ".cpp", ".cxx", ".rc"};
    return kExtensions.count(p.extension().string()) > 0;
}

std::string topFolder(const std::string& path) {
    return path.substr(0, path.find('/'));
}

// The layer a repository-relative path belongs to ("" for none).
std::string layerOf(const Rules& rules, const std::string& path) {
    std::string best;
    for (const Layer& l : rules.layers)
        if (path.compare(0, l.folder.size() + 1, l.folder + "/") == 0 && l.folder.size() > best.size())
            best = l.folder;
    return best;
}

// Whether text[i] stands inside a number (a digit separator: 1'000'000).
bool inNumber(const std::string& text, size_t i) {
    size_t k = i;
    while (k > 0 && (std::isalnum(static_cast<unsigned char>(text[k - 1])) || text[k - 1] == '\'')) --k;
    return k < i && std::isdigit(static_cast<unsigned char>(text[k]));
}

// The text of a file as the preprocessor sees its lines: continued lines
// joined and comments replaced by a space (a block comment over several lines
// joins them), each with the number of the line it starts on.
std::vector<std::pair<int, std::string>> logicalLines(const std::string& text) {
    std::vector<std::pair<int, std::string>> lines;
    std::string cur;
    int number = 1, start = 1;
    enum { kCode, kLineComment, kBlockComment, kString, kChar, kRaw } state = kCode;
    std::string rawEnd;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && (text.compare(i + 1, 1, "\n") == 0 || text.compare(i + 1, 2, "\r\n") == 0) &&
            state != kRaw) {
            i += text[i + 1] == '\r' ? 2 : 1;
            ++number;
            continue;
        }
        if (c == '\n') {
            ++number;
            if (state == kBlockComment || state == kRaw) continue;
            lines.emplace_back(start, cur);
            cur.clear();
            start = number;
            state = kCode;
            continue;
        }
        switch (state) {
            case kCode:
                if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
                    state = kLineComment;
                    cur += ' ';
                } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
                    state = kBlockComment;
                    cur += ' ';
                    ++i;
                } else if (c == '"' && i > 0 && text[i - 1] == 'R' &&
                           (i < 2 ||
                            !(std::isalnum(static_cast<unsigned char>(text[i - 2])) || text[i - 2] == '_') ||
                            text[i - 2] == 'u' || text[i - 2] == 'U' || text[i - 2] == 'L' ||
                            text[i - 2] == '8')) {
                    const size_t open = text.find('(', i);
                    rawEnd = ")" + text.substr(i + 1, open == std::string::npos ? 0 : open - i - 1) + "\"";
                    state = kRaw;
                    cur += c;
                } else {
                    if (c == '"') state = kString;
                    if (c == '\'' && !inNumber(text, i)) state = kChar;  // 1'000 is a number
                    cur += c;
                }
                break;
            case kString:
            case kChar:
                cur += c;
                if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n') {
                    cur += text[++i];
                } else if (c == (state == kString ? '"' : '\'')) {
                    state = kCode;
                }
                break;
            case kRaw:
                if (text.compare(i, rawEnd.size(), rawEnd) == 0) {
                    cur += '"';
                    i += rawEnd.size() - 1;
                    state = kCode;
                }
                break;
            case kBlockComment:
                if (c == '*' && i + 1 < text.size() && text[i + 1] == '/') {
                    state = kCode;
                    ++i;
                }
                break;
            case kLineComment:
                break;
        }
    }
    if (!cur.empty()) lines.emplace_back(start, cur);
    return lines;
}

// An #include line (or #include_next, #import): its target and whether it
// was quoted. readable is false when the target is not a "name" or <name>
// (a macro, or a line the check cannot read).
struct Include {
    bool found = false;
    bool readable = false;
    std::string target;
    bool quoted = false;
};

Include includeOf(const std::string& line) {
    Include inc;
    size_t i = line.find_first_not_of(" \t\f\v\r");
    if (i == std::string::npos) return inc;
    if (line[i] == '#') {
        ++i;
    } else if (line.compare(i, 2, "%:") == 0) {
        i += 2;
    } else {
        return inc;
    }
    i = line.find_first_not_of(" \t\f\v\r", i);
    if (i == std::string::npos) return inc;
    size_t end = i;
    while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_'))
        ++end;
    const std::string directive = line.substr(i, end - i);
    if (directive != "include" && directive != "include_next" && directive != "import") return inc;
    inc.found = true;
    i = line.find_first_not_of(" \t\f\v\r", end);
    if (i == std::string::npos || (line[i] != '"' && line[i] != '<')) return inc;
    const char close = line[i] == '"' ? '"' : '>';
    const size_t last = line.find(close, i + 1);
    if (last == std::string::npos || last == i + 1) return inc;
    inc.readable = true;
    inc.quoted = close == '"';
    inc.target = line.substr(i + 1, last - i - 1);
    return inc;
}

// A path from a root ("/x", "\\x") or a drive ("C:x", "C:/x").
bool isAbsolute(const std::string& path) {
    if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return true;
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// A path with ./ and ../ worked out and \ read as /.
struct Normal {
    std::string path;
    bool dotted = false;   // it has a . or .. part
    bool escapes = false;  // a .. climbs above where the path starts
};

Normal normalise(const std::string& written) {
    Normal n;
    std::vector<std::string> parts;
    std::string part;
    std::string s = written;
    std::replace(s.begin(), s.end(), '\\', '/');
    std::istringstream in(s);
    while (std::getline(in, part, '/')) {
        if (part.empty()) continue;
        if (part == ".") {
            n.dotted = true;
        } else if (part == "..") {
            n.dotted = true;
            if (parts.empty())
                n.escapes = true;
            else
                parts.pop_back();
        } else {
            parts.push_back(part);
        }
    }
    for (const std::string& p : parts) n.path += (n.path.empty() ? "" : "/") + p;
    return n;
}

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string describe(const std::set<std::string>& allowed) {
    std::string out;
    for (const std::string& a : allowed) out += (out.empty() ? "" : ", ") + a + "/";
    return out;
}

// A folder holds a CMake build tree (at its top or one level down): it is
// built output, not sources.
bool holdsBuildTree(const fs::path& dir) {
    std::error_code ec;
    if (fs::exists(dir / "CMakeCache.txt", ec)) return true;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.is_directory(ec) && fs::exists(e.path() / "CMakeCache.txt", ec)) return true;
    return false;
}

bool holdsSource(const fs::path& dir) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (isSource(it->path())) return true;
    return false;
}

class Checker {
public:
    Checker(Rules rules, fs::path root) : rules_(std::move(rules)), root_(std::move(root)) {}

    [[nodiscard]] int run() {
        collect();
        std::set<std::string> seen(files_.begin(), files_.end());
        // Files an include reaches join the list as they are found (a header
        // with another extension is read too).
        for (size_t k = 0; k < files_.size(); ++k) {
            for (const std::string& reached : check(files_[k]))
                if (seen.insert(reached).second) files_.push_back(reached);
        }
        std::sort(faults_.begin(), faults_.end());
        for (const auto& f : faults_) std::cout << f.second << "\n";
        if (!faults_.empty()) {
            std::cout << faults_.size() << " fault(s) against the order of the folders\n";
            return 1;
        }
        std::cout << "include order kept: " << checked_ << " includes in " << files_.size() << " files\n";
        return 0;
    }

private:
    void fault(const std::string& file, int line, const std::string& text) {
        // Sorted by file, then line number.
        char key[16];
        std::snprintf(key, sizeof key, "%08d", line);
        faults_.emplace_back(file + "\x01" + key, text);
    }

    void collect() {
        std::set<std::string> declared;
        for (const Layer& l : rules_.layers) declared.insert(topFolder(l.folder));
        std::vector<fs::directory_entry> top{fs::directory_iterator(root_), fs::directory_iterator()};
        std::sort(top.begin(), top.end());
        for (const auto& e : top) {
            const std::string name = e.path().filename().string();
            if (name[0] == '.' || rules_.outside.count(name)) continue;
            if (e.is_symlink()) {
                fault(name, 0, name + ": a link beside the product's folders (they hold files, not links)");
            } else if (e.is_regular_file()) {
                if (isSource(e.path()))
                    fault(name, 0,
                          name +
                              ": a source file beside the folders, in no layer (move it into a folder "
                              "of cmake/Layers.cmake)");
            } else if (e.is_directory() && declared.count(name)) {
                for (const auto& f : fs::recursive_directory_iterator(e.path())) {
                    const std::string rel = fs::relative(f.path(), root_).generic_string();
                    if (f.is_symlink())
                        fault(rel, 0,
                              rel + ": a link in a product folder (product folders hold files, not links)");
                    else if (f.is_regular_file() && isSource(f.path()))
                        files_.push_back(rel);
                }
            } else if (e.is_directory() && !holdsBuildTree(e.path()) && holdsSource(e.path())) {
                fault(name + "/", 0,
                      name +
                          "/: a folder with source files that is in no layer (declare it in "
                          "cmake/Layers.cmake, or among the folders outside the product)");
            }
            if (e.is_regular_file() || (e.is_directory() && declared.count(name))) productNames(e.path());
        }
        std::sort(files_.begin(), files_.end());
    }

    // Every product file by its repository path, for names that reach one
    // only through an extra include folder.
    void productNames(const fs::path& p) {
        if (fs::is_regular_file(p)) {
            products_.push_back(fs::relative(p, root_).generic_string());
            return;
        }
        for (const auto& f : fs::recursive_directory_iterator(p))
            if (f.is_regular_file()) products_.push_back(fs::relative(f.path(), root_).generic_string());
    }

    // The product file a name reaches only as the end of its path, if any.
    std::string reachedByTail(const std::string& name) const {
        const std::string tail = "/" + lower(name);
        for (const std::string& p : products_) {
            const std::string lp = lower(p);
            if (lp.size() > tail.size() && lp.compare(lp.size() - tail.size(), tail.size(), tail) == 0)
                return p;
        }
        return "";
    }

    // Checks one file; returns the product files its includes reach.
    std::vector<std::string> check(const std::string& file) {
        std::vector<std::string> reachedFiles;
        const std::string own = layerOf(rules_, file);
        if (own.empty()) {
            fault(file, 0, file + ": in no layer (declare its folder in cmake/Layers.cmake)");
            return reachedFiles;
        }
        const Layer& layer = *std::find_if(rules_.layers.begin(), rules_.layers.end(),
                                           [&](const Layer& l) { return l.folder == own; });
        std::set<std::string> allowed = layer.allowed;
        auto entry = rules_.entries.find(file);
        if (entry != rules_.entries.end()) allowed.insert(entry->second);

        std::ifstream in(root_ / file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (const auto& [number, line] : logicalLines(text)) {
            const Include inc = includeOf(line);
            if (!inc.found) continue;
            ++checked_;
            const std::string at = file + ":" + std::to_string(number) + ": ";
            if (!inc.readable) {
                std::string written = line.substr(line.find_first_not_of(" \t"));
                fault(file, number,
                      at + "\"" + written +
                          "\": an include written through a macro or unreadable: "
                          "the check cannot tell what it reaches (name the file)");
                continue;
            }
            const std::string says = at + "includes \"" + inc.target + "\": ";
            // An absolute path names one computer's folders, whatever it ends in.
            if (isAbsolute(inc.target)) {
                fault(file, number, says + "an absolute path (name the file from the repository's root)");
                continue;
            }
            // Where the compiler finds it: beside the including file (quoted
            // names only), else from the repository's root.
            std::string reached;
            bool found = false;
            const Normal rooted = normalise(inc.target);
            if (inc.quoted) {
                const Normal beside =
                    normalise(fs::path(file).parent_path().generic_string() + "/" + inc.target);
                if (!beside.escapes && fs::is_regular_file(root_ / beside.path)) {
                    reached = beside.path;
                    found = true;
                }
            }
            if (!found && rooted.escapes) {
                fault(file, number, says + "climbs out of the repository");
                continue;
            }
            if (!found) {
                const std::string first = topFolder(rooted.path);
                const bool folderOfOurs = rooted.path.find('/') != std::string::npos &&
                                          fs::is_directory(root_ / first) && first[0] != '.';
                if (!layerOf(rules_, rooted.path).empty() || folderOfOurs || rules_.outside.count(first) ||
                    fs::is_regular_file(root_ / rooted.path)) {
                    reached = rooted.path;
                } else {
                    const std::string viaFolder = reachedByTail(rooted.path);
                    if (!viaFolder.empty()) {
                        fault(file, number,
                              says + "reaches " + viaFolder +
                                  " only through an extra include folder "
                                  "(name it from the repository's root)");
                        continue;
                    }
                    if (rooted.dotted)
                        fault(file, number,
                              says + "a path with ./ or ../ (name the file from the repository's root)");
                    continue;  // not ours (a library's header)
                }
            }
            if (fs::is_regular_file(root_ / reached) && !layerOf(rules_, reached).empty())
                reachedFiles.push_back(reached);

            const std::string first = topFolder(reached);
            std::string targetLayer = layerOf(rules_, reached);
            if (targetLayer.empty() && reached.find('/') == std::string::npos) {
                fault(file, number, says + "reaches " + reached + ", a file beside the folders, in no layer");
                continue;
            }
            if (targetLayer.empty() && !rules_.outside.count(first)) {
                fault(file, number, says + first + "/ is in no layer (declare it in cmake/Layers.cmake)");
                continue;
            }
            if (targetLayer.empty()) targetLayer = first;
            if (!allowed.count(targetLayer)) {
                std::string why;
                if (rules_.outside.count(targetLayer))
                    why = "product code never includes " + targetLayer + "/";
                else if (targetLayer.find('/') != std::string::npos)  // platform/fake, platform/win32
                    why = targetLayer + "/ implements the seam and is linked only into programs and tests";
                else
                    why = "a lower folder never includes a higher one or a sibling";
                fault(file, number,
                      says + own + "/ may include only " + describe(allowed) + " (" + why + ")");
                continue;
            }
            if (rooted.dotted)
                fault(file, number,
                      says + "a path with ./ or ../ (name the file from the repository's root)");
        }
        return reachedFiles;
    }

    Rules rules_;
    fs::path root_;
    std::vector<std::string> files_;
    std::vector<std::string> products_;
    std::vector<std::pair<std::string, std::string>> faults_;
    int checked_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: include_check LAYERS ROOT\n";
        return 2;
    }
    Rules rules;
    if (!readRules(argv[1], rules)) {
        std::cerr << "include_check: cannot read the order of the folders from " << argv[1] << "\n";
        return 2;
    }
    const fs::path root = argv[2];
    if (!fs::is_directory(root)) {
        std::cerr << "include_check: " << root.string() << " is not a folder\n";
        return 2;
    }
    return Checker(std::move(rules), root).run();
}
