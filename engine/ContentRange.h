// Reading what part of the resource a 206 answer holds, from its
// Content-Range.
#ifndef ZELVORA_ENGINE_CONTENTRANGE_H
#define ZELVORA_ENGINE_CONTENTRANGE_H

#include <cstdint>
#include <string>

// The first byte position of a "bytes first-last/total" Content-Range value.
// 1 with *first set when the value reads so, else 0.
int ParseContentRangeStart(const std::string& value, uint64_t* first);

// 1 when a "bytes first-last/total" value holds the whole resource: first 0
// and last + 1 == total, or first 0 with the total unknown ("*"); else 0.
int IsWholeContentRange(const std::string& value);

#endif
