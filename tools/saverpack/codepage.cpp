#include "tools/saverpack/codepage.h"

namespace ssi::tool {

namespace {

// Code page 1252's bytes 0x80..0x9F; 0 where the page defines no character.
// Every other byte is the Unicode character of the same number.
constexpr uint16_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The byte for a code point, or -1 when the page has none.
int to1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
    for (int i = 0; i < 32; ++i)
        if (k1252High[i] != 0 && k1252High[i] == cp) return 0x80 + i;
    return -1;
}

uint32_t from1252(uint8_t b) {
    if (b < 0x80 || b >= 0xA0) return b;
    return k1252High[b - 0x80] ? k1252High[b - 0x80] : 0xFFFD;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// The code point starting at text[i] and its length in bytes; length 0 for
// bytes that are not UTF-8 (stray continuation bytes, overlong forms,
// surrogates, past U+10FFFF, cut short).
uint32_t decodeAt(const std::string& text, size_t i, size_t& length) {
    const auto byte = [&](size_t k) { return uint8_t(text[k]); };
    const uint8_t b = byte(i);
    length = 0;
    if (b < 0x80) {
        length = 1;
        return b;
    }
    size_t n = 0;
    uint32_t cp = 0, min = 0;
    if ((b & 0xE0) == 0xC0) {
        n = 2, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > text.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    length = n;
    return cp;
}

std::string hex(uint32_t cp) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string digits;
    for (int shift = cp > 0xFFFFF ? 20 : cp > 0xFFFF ? 16 : 12; shift >= 0; shift -= 4)
        digits += kHex[(cp >> shift) & 15];
    return "U+" + digits;
}

}  // namespace

bool codePageSupported(int codePage) {
    return codePage == 1252;
}

bool fromUtf8(const std::string& utf8, int codePage, std::string& out, std::string& fault) {
    out.clear();
    fault.clear();
    if (!codePageSupported(codePage)) {
        fault = "code page " + std::to_string(codePage) + " is not supported (1252 is)";
        return false;
    }
    for (size_t i = 0; i < utf8.size();) {
        size_t length = 0;
        const uint32_t cp = decodeAt(utf8, i, length);
        if (length == 0) {
            fault = "byte " + std::to_string(i) + " is not UTF-8 (the manifest is read as UTF-8)";
            return false;
        }
        const int b = to1252(cp);
        if (b < 0) {
            fault = "'" + utf8.substr(i, length) + "' (" + hex(cp) + ") is not in code page " +
                    std::to_string(codePage) + ", which the installer's names are written in";
            return false;
        }
        out += char(b);
        i += length;
    }
    return true;
}

std::string toUtf8(const std::string& bytes, int /*codePage*/) {
    std::string out;
    for (unsigned char b : bytes) appendUtf8(out, from1252(b));
    return out;
}

std::string firstUtf8Character(const std::string& text) {
    std::string first;
    for (size_t i = 0; i < text.size();) {
        size_t length = 0;
        decodeAt(text, i, length);
        if (length == 0) return std::string();
        if (length > 1 && first.empty()) first = text.substr(i, length);
        i += length;
    }
    return first;
}

std::string hostFileName(const std::string& stored) {
#ifdef _WIN32
    return stored;
#else
    return toUtf8(stored, kDefaultCodePage);
#endif
}

size_t displayWidth(const std::string& utf8) {
    size_t width = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++width;
    return width;
}

std::string padRight(const std::string& utf8, size_t width) {
    const size_t have = displayWidth(utf8);
    return have >= width ? utf8 : utf8 + std::string(width - have, ' ');
}

}  // namespace ssi::tool
