// "Did you mean": the known word nearest to a mistyped one.
#pragma once

#include <string>
#include <vector>

namespace ssi::tool {

// The word of `known` within a few edits of `word` (letter case ignored),
// the nearest first; "" when none is near enough to be a likely typo.
std::string closestWord(const std::string& word, const std::vector<std::string>& known);
// " (did you mean 'X'?)" or "".
std::string didYouMean(const std::string& word, const std::vector<std::string>& known);

}  // namespace ssi::tool
