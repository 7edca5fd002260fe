#include "tools/saverpack/name_rules.h"

#include <cstdio>
#include <cstring>

#include "core/names.h"
#include "package/package_layout.h"

namespace ssi::tool {

std::string nameProblem(const std::string& name) {
    if (std::string why = fileNameProblem(name); !why.empty()) return why;
    if (!isSafeFileName(name)) return "it holds \"..\"";
    return std::string();
}

std::string pathProblem(const std::string& path) {
    size_t start = 0;
    for (;;) {
        const size_t cut = path.find('\\', start);
        const std::string part =
            path.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
        // ".." inside a part ("a..b") is a legal item name; only the slot rule refuses it.
        std::string why = isPlainFileName(part) ? std::string() : nameProblem(part);
        if (!why.empty()) return cut == std::string::npos && start == 0 ? why : "part '" + part + "': " + why;
        if (cut == std::string::npos) return std::string();
        start = cut + 1;
    }
}

}  // namespace ssi::tool
