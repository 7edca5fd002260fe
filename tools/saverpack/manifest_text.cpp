#include "tools/saverpack/manifest_text.h"

#include <algorithm>
#include <sstream>

#include "tools/saverpack/safe_output.h"

namespace ssi::tool {

namespace {

// Whether bytes [i, i + n) are one well-formed UTF-8 sequence starting at i;
// `n` receives its length.
bool utf8Sequence(const std::string& text, size_t i, size_t& n) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
        n = 1;
        return true;
    }
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4;
    else
        return false;
    if (i + n > text.size()) return false;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    return true;
}

// The deepest nesting outside strings and comments: of [ and {, and of the
// parts of a dotted key ("a.b.c" is three tables deep; the parser takes time
// in the square of the parts), counted as the dots of one line.
int nestingDepth(const std::string& text) {
    int depth = 0, deepest = 0, dots = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '#' || c == '\n') {
            dots = 0;
            i = text.find('\n', i);
            if (i == std::string::npos) break;
        } else if (c == '.') {
            deepest = std::max(deepest, ++dots);
        } else if (c == '"' || c == '\'') {
            // Basic and literal strings, one line or three quotes; only basic
            // strings have escapes.
            const bool multi = text.compare(i, 3, std::string(3, c)) == 0;
            const std::string close = multi ? std::string(3, c) : std::string(1, c);
            size_t j = i + close.size();
            while (j < text.size() && text.compare(j, close.size(), close) != 0) {
                if (c == '"' && text[j] == '\\') ++j;
                if (!multi && text[j] == '\n') break;
                ++j;
            }
            i = j + close.size() - 1;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

}  // namespace

std::string manifestTextProblem(const std::string& path, const std::string& text, const std::string& hint) {
    const std::string name = printable(path);
    if (text.size() > kMaxManifestBytes)
        return name + ": " + std::to_string(text.size()) + " bytes; a manifest has at most " +
               std::to_string(kMaxManifestBytes);
    for (size_t i = 0, n = 0; i < text.size(); i += n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!utf8Sequence(text, i, n) || (c < 32 && c != '\t' && c != '\n' && c != '\r') || c == 127)
            return name + ": not a text manifest (byte " + std::to_string(i) + " is not UTF-8 text)" + hint;
    }
    if (nestingDepth(text) > kMaxManifestNesting)
        return name + ": brackets or dotted keys nested more than " + std::to_string(kMaxManifestNesting) +
               " deep; a manifest needs at most a few";
    return std::string();
}

std::string tomlErrorText(const std::string& what) {
    std::istringstream in(what);
    std::string line, message, file, lineNumber, rest;
    while (std::getline(in, line)) {
        if (message.empty() && !line.empty()) {
            // "[error] toml::parse_key: an invalid key appeared."
            if (line.compare(0, 8, "[error] ") == 0) line.erase(0, 8);
            if (line.compare(0, 6, "toml::") == 0) {
                const size_t colon = line.find(": ");
                if (colon != std::string::npos) line.erase(0, colon + 2);
            }
            message = line;
            continue;
        }
        if (file.empty() && line.compare(0, 5, " --> ") == 0) {
            file = line.substr(5);
            continue;
        }
        // " 7 | text" gives the line number of the first quoted line.
        if (lineNumber.empty()) {
            const size_t bar = line.find(" | ");
            const size_t digits = line.find_first_not_of(' ');
            if (bar != std::string::npos && digits != std::string::npos && digits < bar &&
                line.find_first_not_of("0123456789", digits) == bar)
                lineNumber = line.substr(digits, bar - digits);
        }
        rest += printable(line) + "\n";
    }
    std::string out = printable(file);
    if (!lineNumber.empty()) out += ":" + lineNumber;
    out += (out.empty() ? "" : ": ") + printable(message) + "\n" + rest;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

bool parseToml(const std::string& path, const std::string& text, const std::string& hint, toml::value& root,
               std::vector<std::string>& errors, bool* refusedText) {
    if (refusedText) *refusedText = false;
    const std::string problem = manifestTextProblem(path, text, hint);
    if (!problem.empty()) {
        errors.push_back(problem);
        if (refusedText) *refusedText = true;
        return false;
    }
    try {
        std::istringstream stream(text);
        root = toml::parse(stream, path);
    } catch (const std::exception& e) {
        errors.push_back(tomlErrorText(e.what()));
        return false;
    }
    return true;
}

}  // namespace ssi::tool
