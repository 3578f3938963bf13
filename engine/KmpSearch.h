// Knuth-Morris-Pratt pattern search over bytes. The program does not call
// it: a head's end is found by FindHeadEnd and a size line read by
// ReadChunkSizeLine, which also take the line ends a fixed pattern cannot
// (LF alone in a head, a limit on the line); it stays as a general search,
// with its tests.
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
