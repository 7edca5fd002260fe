// The manifests' text before and after the TOML parser: what it must never
// be given (too large, nested too deep for its recursion, not text at all),
// and its error messages in the form "FILE:LINE: what" with the line and a
// caret, without the parser's internal function names.
#pragma once

#include <cstddef>
#include <string>
#include <toml.hpp>
#include <vector>

namespace ssi::tool {

// No manifest comes near these: a package manifest is a few hundred bytes,
// a data file's item manifest about a hundred per item (at most 1,010).
constexpr size_t kMaxManifestBytes = 1024 * 1024;
// Brackets and braces open at once; the parser recurses once per level.
constexpr int kMaxManifestNesting = 32;

// Why `text` is not handed to the parser ("" when it may be): larger than
// kMaxManifestBytes, nested deeper than kMaxManifestNesting, or not text
// (a zero byte, a control character other than tab, CR and LF, or bytes
// that are not UTF-8). `hint` ends the message for binary input (which
// argument should have been the manifest).
std::string manifestTextProblem(const std::string& path, const std::string& text, const std::string& hint);

// The parser's message of an exception, as "PATH:LINE: what" followed by the
// quoted source line and caret and any hints, every line printable.
std::string tomlErrorText(const std::string& what);

// Parses TOML text as the file `path` after manifestTextProblem's checks;
// false with the message in `errors`, and `refusedText` (when given) true when
// the checks refused the text before parsing. `hint` as above.
[[nodiscard]] bool parseToml(const std::string& path, const std::string& text, const std::string& hint,
                             toml::value& root, std::vector<std::string>& errors, bool* refusedText);

}  // namespace ssi::tool
