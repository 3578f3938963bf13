// Knuth-Morris-Pratt pattern search; the response reader finds the blank
// line that ends a head with it.
#ifndef ZELVORA_ENGINE_KMPSEARCH_H
#define ZELVORA_ENGINE_KMPSEARCH_H

#include <vector>

// The improved failure table, one entry per pattern byte; empty when there
// is no pattern (length < 1).
std::vector<int> BuildKmpTable(const char* pattern, int length);

// Searches text[0, limit) for the pattern. Returns the length of the text up
// to and including the first match, or -1 when there is none.
int KmpSearch(const char* text, int limit, const char* pattern, int length);

#endif
