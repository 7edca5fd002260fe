// Names in the Windows code page. The installer hands the saver name, the
// slots' names and the data file's item names to the system's ANSI functions
// byte for byte, so the package holds them in the code page of the machines
// it is made for; the manifest, the host's file names and the terminal speak
// UTF-8. Code page 1252 (Western European) is the one supported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ssi::tool {

constexpr int kDefaultCodePage = 1252;

// Whether names can be written in this code page.
bool codePageSupported(int codePage);

// UTF-8 to the code page. False, with `fault` naming the first character the
// page cannot hold ("'ā' (U+0101) is not in code page 1252") or the bytes that
// are not UTF-8, when it cannot be done.
[[nodiscard]] bool fromUtf8(const std::string& utf8, int codePage, std::string& out, std::string& fault);

// The code page's bytes back in UTF-8 (a byte the page leaves undefined
// becomes U+FFFD).
std::string toUtf8(const std::string& bytes, int codePage);

// The first character of a text that is UTF-8 and not ASCII ("" when the text
// is ASCII, or not UTF-8): what a program reading it in a code page shows
// wrongly.
std::string firstUtf8Character(const std::string& text);

// A stored name as a file name of this host: in UTF-8 where file names are
// UTF-8, as it is on Windows, whose ANSI functions take the code page's bytes.
std::string hostFileName(const std::string& stored);

// The columns a UTF-8 text takes on a terminal: one a character (every
// character of code page 1252 is one column wide).
size_t displayWidth(const std::string& utf8);

// The text padded with spaces to `width` columns.
std::string padRight(const std::string& utf8, size_t width);

}  // namespace ssi::tool
