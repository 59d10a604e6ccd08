#include "sim/suggest.h"

#include <algorithm>
#include <cctype>

namespace sim {

std::size_t edit_distance(std::string_view a, std::string_view b) {
  // Optimal string alignment: Levenshtein with transpositions of neighbours.
  const std::size_t n = a.size(), m = b.size();
  std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[n][m];
}

std::optional<std::string> closest(std::string_view word, const std::vector<std::string>& candidates) {
  // Long words typed by mistake (a path, a pasted line) are no slip of a
  // short name; skip the quadratic work for them too.
  if (word.empty() || word.size() > 64) return std::nullopt;
  std::string lower(word);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t limit = std::max<std::size_t>(1, word.size() / 3);
  std::optional<std::string> best;
  std::size_t best_distance = limit + 1;
  for (const std::string& c : candidates) {
    std::string cl = c;
    for (char& ch : cl) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const std::size_t dist = edit_distance(lower, cl);
    if (dist < best_distance) {
      best_distance = dist;
      best = c;
    }
  }
  return best;
}

}  // namespace sim
