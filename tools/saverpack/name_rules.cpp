#include "tools/saverpack/name_rules.h"

#include <cstdio>
#include <cstring>

#include "core/names.h"
#include "package/package_layout.h"

namespace ssi::tool {

std::string nameProblem(const std::string& name) {
    if (name.empty()) return "it is empty";
    if (name.find_first_not_of(". ") == std::string::npos)
        return "it is only dots and spaces, which Windows reads as a folder or its parent";
    for (unsigned char c : name) {
        char text[80];
        if (c < 32) {
            std::snprintf(text, sizeof(text), "it holds the control character \\x%02x", c);
            return text;
        }
        if (std::strchr("<>:\"/\\|?*", c)) {
            std::snprintf(text, sizeof(text), "it holds '%c', a character Windows does not allow in names",
                          c);
            return text;
        }
    }
    if (name.back() == ' ') return "it ends with a space, which Windows drops";
    if (name.back() == '.') return "it ends with a dot, which Windows drops";
    if (isDeviceName(name))
        return "'" + name.substr(0, name.find('.')) +
               "' is a device name on Windows (whatever the extension), not a file";
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
