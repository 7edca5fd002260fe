#include "core/names.h"

#include <cstdio>
#include <cstring>

namespace ssi {

std::string withTrailingBackslash(std::string path) {
    if (path.empty() || path.back() != '\\') path += '\\';
    return path;
}

std::string extractFileName(const std::string& path) {
    size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string extractFilePath(const std::string& path) {
    size_t cut = path.find_last_of("\\:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string extractFileExt(const std::string& name) {
    size_t dot = name.find_last_of(".\\:");
    if (dot == std::string::npos || name[dot] != '.') return std::string();
    return name.substr(dot);
}

std::string changeFileExt(const std::string& name, const std::string& ext) {
    size_t dot = name.find_last_of(".\\:");
    if (dot == std::string::npos || name[dot] != '.') return name + ext;
    return name.substr(0, dot) + ext;
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

bool containsText(const std::string& text, const std::string& word) {
    return lowerCase(text).find(lowerCase(word)) != std::string::npos;
}

bool isDeviceName(const std::string& name) {
    // The part before the first dot decides ("con.txt" is the console too).
    std::string base = lowerCase(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const char* const kDevices[] = {"con", "prn", "aux", "nul", "clock$", "conin$", "conout$"};
    for (const char* device : kDevices)
        if (base == device) return true;
    if (base.size() != 4 || (base.compare(0, 3, "com") != 0 && base.compare(0, 3, "lpt") != 0)) return false;
    // The digits, and the superscript one, two and three of code page 1252,
    // which some Windows versions open as the ports COM1 to COM3, LPT1 to LPT3.
    const unsigned char digit = static_cast<unsigned char>(base[3]);
    return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

std::string fileNameProblem(const std::string& name) {
    if (name.empty()) return "it is empty";
    // "..", ". " and the like: Windows trims trailing dots and spaces, so any
    // of these may end up meaning the folder itself or its parent.
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
    return std::string();
}

bool isPlainFileName(const std::string& name) {
    return fileNameProblem(name).empty();
}

bool isSafeRelativePath(const std::string& path) {
    size_t start = 0;
    for (;;) {
        const size_t cut = path.find('\\', start);
        if (!isPlainFileName(path.substr(start, cut == std::string::npos ? std::string::npos : cut - start)))
            return false;
        if (cut == std::string::npos) return true;
        start = cut + 1;
    }
}

}  // namespace ssi
