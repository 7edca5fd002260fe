// The include check: every #include line of the product's folders must
// point down the order of the folders (see the root CMakeLists.txt):
//
//   codec, core  <  platform  <  saver  <  package, flash  <  app, tools
//
// platform/fake and platform/win32 implement the seam: they may use the
// seam's folder and core, and nothing includes them but programs (app's
// winmain.cpp) and tests. No product folder includes tests/ or fixtures/.
//
//   include_check ROOT     exit 0 when every include keeps the order; else one
//                          line per include that runs against it (file, line,
//                          the rule it breaks) and exit 1
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A product folder and the folders its files may include.
struct Layer {
    std::string folder;
    std::set<std::string> allowed;
};

const std::vector<Layer>& layers() {
    static const std::vector<Layer> kLayers = {
        {"codec", {"codec"}},
        {"core", {"core"}},
        {"platform", {"core", "platform"}},
        {"platform/fake", {"core", "platform", "platform/fake"}},
        {"platform/win32", {"core", "platform", "platform/win32"}},
        {"saver", {"core", "platform", "saver"}},
        {"package", {"core", "codec", "platform", "saver", "package"}},
        {"flash", {"core", "platform", "saver", "flash"}},
        {"app", {"core", "platform", "saver", "package", "flash", "app"}},
        {"tools", {"core", "codec", "platform", "saver", "package", "flash", "tools"}},
    };
    return kLayers;
}

// Files allowed one more folder than their own: the program's entry point
// puts the real seam around the installer.
const std::map<std::string, std::string>& entryPoints() {
    static const std::map<std::string, std::string> kEntries = {{"app/winmain.cpp", "platform/win32"}};
    return kEntries;
}

// The layer a repository-relative path belongs to ("" for none).
std::string layerOf(const std::string& path) {
    std::string best;
    for (const Layer& l : layers())
        if (path.compare(0, l.folder.size() + 1, l.folder + "/") == 0 && l.folder.size() > best.size()) best = l.folder;
    return best;
}

// The target of an #include line and whether it was quoted; an empty target
// for any other line.
struct Include {
    std::string target;
    bool quoted = false;
};

Include includeOf(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#') return {};
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0) return {};
    i = line.find_first_not_of(" \t", i + 7);
    if (i == std::string::npos || (line[i] != '"' && line[i] != '<')) return {};
    const char close = line[i] == '"' ? '"' : '>';
    const size_t end = line.find(close, i + 1);
    if (end == std::string::npos) return {};
    return {line.substr(i + 1, end - i - 1), close == '"'};
}

std::string describe(const std::set<std::string>& allowed) {
    std::string out;
    for (const std::string& a : allowed) out += (out.empty() ? "" : ", ") + a + "/";
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: include_check ROOT\n";
        return 2;
    }
    const fs::path root = argv[1];
    if (!fs::is_directory(root)) {
        std::cerr << "include_check: " << root.string() << " is not a folder\n";
        return 2;
    }
    std::vector<std::string> files;
    for (const Layer& l : layers()) {
        const fs::path dir = root / l.folder;
        if (!fs::is_directory(dir)) continue;
        for (const auto& e : fs::recursive_directory_iterator(dir)) {
            const std::string ext = e.path().extension().string();
            if (!e.is_regular_file() || (ext != ".h" && ext != ".cpp" && ext != ".c" && ext != ".rc")) continue;
            const std::string rel = fs::relative(e.path(), root).generic_string();
            if (layerOf(rel) == l.folder) files.push_back(rel);
        }
    }
    std::sort(files.begin(), files.end());

    int faults = 0, checked = 0;
    for (const std::string& file : files) {
        const std::string own = layerOf(file);
        const Layer& layer = *std::find_if(layers().begin(), layers().end(), [&](const Layer& l) { return l.folder == own; });
        std::set<std::string> allowed = layer.allowed;
        auto entry = entryPoints().find(file);
        if (entry != entryPoints().end()) allowed.insert(entry->second);

        std::ifstream in(root / file);
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            const Include inc = includeOf(line);
            if (inc.target.empty()) continue;
            std::string target = inc.target;
            // A quoted name that is not rooted at a folder of ours may be
            // relative to the including file ("../app/x.h", "sibling.h"):
            // it is judged by the file it reaches.
            if (inc.quoted && layerOf(target).empty()) {
                const fs::path reached = (fs::path(file).parent_path() / target).lexically_normal();
                if (fs::exists(root / reached)) target = reached.generic_string();
            }
            const std::string first = target.substr(0, target.find('/'));
            std::string targetLayer = layerOf(target);
            if (targetLayer.empty() && first != "tests" && first != "fixtures") continue;  // not ours (a library's header)
            ++checked;
            if (targetLayer.empty()) targetLayer = first;
            if (allowed.count(targetLayer)) continue;
            ++faults;
            std::cout << file << ":" << number << ": includes \"" << inc.target << "\": " << own
                      << "/ may include only " << describe(allowed) << " (";
            if (targetLayer == "tests" || targetLayer == "fixtures")
                std::cout << "product code never includes " << targetLayer << "/";
            else if (targetLayer == "platform/fake" || targetLayer == "platform/win32")
                std::cout << targetLayer << "/ implements the seam and is linked only into programs and tests";
            else
                std::cout << "a lower folder never includes a higher one or a sibling";
            std::cout << ")\n";
        }
    }
    if (faults) {
        std::cout << faults << " include(s) run against the order of the folders\n";
        return 1;
    }
    std::cout << "include order kept: " << checked << " includes in " << files.size() << " files\n";
    return 0;
}
