#include "core/message_text.h"

namespace ssi {

namespace {

// Control characters and DEL as \xNN; with `quoteMarks`, '"' and '\' too.
std::string escaped(const std::string& text, bool quoteMarks) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 32 || c == 127 || (quoteMarks && (c == '"' || c == '\\'))) {
            static const char* const kHex = "0123456789abcdef";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

}  // namespace

std::string printable(const std::string& text) {
    return escaped(text, false);
}

std::string quoted(const std::string& text) {
    return "\"" + escaped(text, true) + "\"";
}

}  // namespace ssi
