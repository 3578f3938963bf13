// Reading where the part of a 206 answer starts, from its Content-Range.
#ifndef ZELVORA_ENGINE_CONTENTRANGE_H
#define ZELVORA_ENGINE_CONTENTRANGE_H

#include <cstdint>
#include <string>

// The first byte position of a "bytes first-last/total" Content-Range value.
// 1 with *first set when the value reads so, else 0.
int ParseContentRangeStart(const std::string& value, uint64_t* first);

#endif
