#include "engine/KmpSearch.h"

#include <cstddef>

std::vector<int> BuildKmpTable(const char* pattern, int length) {
  if (!pattern || length < 1) return std::vector<int>();
  const size_t size = static_cast<size_t>(length);
  std::vector<int> table(size);
  // border[j]: length of the longest proper prefix of pattern[0, j] that is
  // also its suffix (the plain failure function), used to derive the
  // improved entries.
  std::vector<size_t> border(size);
  border[0] = 0;
  for (size_t j = 1; j < size; ++j) {
    size_t k = border[j - 1];
    while (k > 0 && pattern[j] != pattern[k]) k = border[k - 1];
    if (pattern[j] == pattern[k]) ++k;
    border[j] = k;
  }
  table[0] = -1;
  for (size_t j = 1; j < size; ++j) {
    size_t k = border[j - 1];
    // A mismatch at j would fall back to k and compare the same byte again,
    // so the improved table skips straight to k's own fallback.
    table[j] = pattern[j] == pattern[k] ? table[k] : static_cast<int>(k);
  }
  return table;
}

int KmpSearch(const char* text, int limit, const char* pattern, int length) {
  if (!text || !pattern || length < 1 || limit < 1) return -1;
  const std::vector<int> table = BuildKmpTable(pattern, length);
  int i = 0;
  int k = 0;
  while (k < length && i < limit) {
    if (k == -1 || text[i] == pattern[k]) {
      ++i;
      ++k;
    } else {
      k = table[static_cast<size_t>(k)];
    }
  }
  return k == length ? i : -1;
}
