#include "tools/saverpack/suggest.h"

#include <algorithm>

#include "core/names.h"

namespace ssi::tool {

namespace {

// Edits (insert, delete, replace, swap of neighbours) from a to b.
size_t distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

}  // namespace

std::string closestWord(const std::string& word, const std::vector<std::string>& known) {
    // Long words left as they are: a suggestion is for typos, and the table
    // costs the product of the lengths.
    if (word.empty() || word.size() > 64) return std::string();
    const std::string lower = lowerCase(word);
    // One edit in short words, about one in three in longer ones.
    const size_t limit = std::max<size_t>(1, lower.size() / 3);
    std::string best;
    size_t bestDistance = limit + 1;
    for (const std::string& k : known) {
        const size_t n = distance(lower, lowerCase(k));
        if (n < bestDistance) {
            bestDistance = n;
            best = k;
        }
    }
    return best;
}

std::string didYouMean(const std::string& word, const std::vector<std::string>& known) {
    const std::string best = closestWord(word, known);
    return best.empty() ? std::string() : " (did you mean '" + best + "'?)";
}

}  // namespace ssi::tool
