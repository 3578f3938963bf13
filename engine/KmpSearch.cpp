#include "engine/KmpSearch.h"

#include <cstddef>

int* BuildKmpTable(const char* pattern, int length) {
  if (!pattern || length < 1) return NULL;
  int* table = new int[static_cast<size_t>(length)];
  // border[j]: length of the longest proper prefix of pattern[0, j] that is
  // also its suffix (the plain failure function), used to derive the
  // improved entries.
  int* border = new int[static_cast<size_t>(length)];
  border[0] = 0;
  for (int j = 1; j < length; ++j) {
    int k = border[j - 1];
    while (k > 0 && pattern[j] != pattern[k]) k = border[k - 1];
    if (pattern[j] == pattern[k]) ++k;
    border[j] = k;
  }
  table[0] = -1;
  for (int j = 1; j < length; ++j) {
    int k = border[j - 1];
    // A mismatch at j would fall back to k and compare the same byte again,
    // so the improved table skips straight to k's own fallback.
    table[j] = pattern[j] == pattern[k] ? table[k] : k;
  }
  delete[] border;
  return table;
}

int KmpSearch(const char* text, int limit, const char* pattern, int length) {
  if (!text || !pattern || length < 1 || limit < 1) return -1;
  int* table = BuildKmpTable(pattern, length);
  int i = 0;
  int k = 0;
  while (k < length && i < limit) {
    if (k == -1 || text[i] == pattern[k]) {
      ++i;
      ++k;
    } else {
      k = table[k];
    }
  }
  delete[] table;
  return k == length ? i : -1;
}
