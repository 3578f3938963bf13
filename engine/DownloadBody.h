// Pieces of a download that stand alone: reading where a 206 part starts,
// and rewriting a file from a position.
#ifndef ZELVORA_ENGINE_DOWNLOADBODY_H
#define ZELVORA_ENGINE_DOWNLOADBODY_H

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

// The first byte position of a "bytes first-last/total" Content-Range value.
// 1 with *first set when the value reads so, else 0.
int ParseContentRangeStart(const std::string& value, uint64_t* first);

// Replaces everything from base to the end of the open file with the given
// bytes, then closes the file. Returns 1 only when every byte was written and
// the close succeeded (the file is closed either way). On a file that is not
// regular nothing is cut; the bytes are written where the file stands.
int RewriteFileFrom(FileHandle file, uint64_t base, const char* data, uint32_t length);

#endif
