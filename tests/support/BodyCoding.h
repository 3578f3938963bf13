// Bodies as a server would frame or compress them, for test fixtures.
#ifndef ZELVORA_TESTS_SUPPORT_BODYCODING_H
#define ZELVORA_TESTS_SUPPORT_BODYCODING_H

#include <cstddef>
#include <string>

// zlib deflate at `level` (9 unless told) with the given window bits: 31
// gzip, 15 zlib wrapper, -15 raw deflate. Aborts when zlib fails, so a
// fixture is never silently empty.
std::string Deflate(const std::string& data, int windowBits, int level = 9);
inline std::string Gzip(const std::string& data) { return Deflate(data, 31); }
inline std::string ZlibDeflate(const std::string& data) { return Deflate(data, 15); }
inline std::string RawDeflate(const std::string& data) { return Deflate(data, -15); }

// zlib's own decoding of one stream with the given window bits (as for
// Deflate): true when data is that stream whole, with nothing after it.
// A reference to check what the program stored against.
bool Inflate(const std::string& data, int windowBits, std::string* out);

// The chunked framing of data in pieces of `piece` bytes, with the last chunk.
std::string Chunked(const std::string& data, size_t piece);

#endif
