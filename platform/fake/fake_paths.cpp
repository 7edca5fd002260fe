#include "platform/fake/fake_paths.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

#include "core/names.h"

namespace ssi::fakepath {

SplitPath splitWindowsPath(const std::string& path) {
    SplitPath out;
    std::string rest = path;
    for (char& c : rest)
        if (c == '/') c = '\\';
    if (rest.size() >= 2 && rest[1] == ':') {
        out.drive = std::string(1, char(std::toupper(static_cast<unsigned char>(rest[0])))) + ":";
        rest = rest.substr(2);
    }
    std::stringstream ss(rest);
    std::string piece;
    while (std::getline(ss, piece, '\\')) {
        if (piece.empty() || piece == ".") continue;
        if (piece == "..") {
            if (!out.parts.empty()) out.parts.pop_back();
            continue;
        }
        out.parts.push_back(piece);
    }
    return out;
}

bool wildMatch(const char* pattern, const char* name) {
    if (std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0) return true;
    if (*pattern == 0) return *name == 0;
    if (*pattern == '*') {
        for (const char* n = name;; ++n) {
            if (wildMatch(pattern + 1, n)) return true;
            if (*n == 0) return false;
        }
    }
    if (*name == 0) return false;
    if (*pattern == '?' || lowerCase(std::string(1, *pattern)) == lowerCase(std::string(1, *name)))
        return wildMatch(pattern + 1, name + 1);
    return false;
}

bool isShortName(const std::string& name) {
    static const std::string kSpecial = "!#$%&'()-@^_`{}~";
    const size_t dot = name.find('.');
    const std::string base = name.substr(0, dot), ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos) return false;
    for (char c : base + ext)
        if (!std::isalnum(static_cast<unsigned char>(c)) && kSpecial.find(c) == std::string::npos)
            return false;
    return true;
}

std::string shortAlias(const std::vector<std::string>& names, const std::string& name) {
    if (isShortName(name)) return name;
    auto stem = [](const std::string& n) {
        const size_t dot = n.rfind('.');
        const bool hasExt = dot != std::string::npos && dot > 0;
        std::string b, x;
        for (char c : hasExt ? n.substr(0, dot) : n)
            if (std::isalnum(static_cast<unsigned char>(c)))
                b += char(std::toupper(static_cast<unsigned char>(c)));
        if (hasExt)
            for (char c : n.substr(dot + 1))
                if (std::isalnum(static_cast<unsigned char>(c)))
                    x += char(std::toupper(static_cast<unsigned char>(c)));
        if (b.empty()) b = "_";
        return std::make_pair(b.substr(0, 6), x.substr(0, 3));
    };
    const auto mine = stem(name);
    std::vector<std::string> same;
    for (const std::string& other : names)
        if (other != "." && other != ".." && !isShortName(other) && stem(other) == mine) same.push_back(other);
    std::sort(same.begin(), same.end());
    const size_t index = size_t(std::find(same.begin(), same.end(), name) - same.begin());
    const std::string number = std::to_string(index + 1);
    return mine.first.substr(0, 7 - number.size()) + "~" + number +
           (mine.second.empty() ? "" : "." + mine.second);
}

}  // namespace ssi::fakepath
