// Fixture bytes and checks on them, for every test program.
#ifndef ZELVORA_TESTS_SUPPORT_TESTBYTES_H
#define ZELVORA_TESTS_SUPPORT_TESTBYTES_H

#include <cstddef>
#include <string>

// Letters in a fixed pseudo-random order: a shifted or cut copy shows, and
// they compress only about by half.
inline std::string Pattern(size_t size, unsigned seed = 1) {
  std::string out(size, '\0');
  unsigned state = seed;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    out[i] = static_cast<char>('a' + (state >> 16) % 26);
  }
  return out;
}

// Every byte value in turn (zeros, line ends and high bytes included), in a
// cycle of 256 that a shifted copy does not match.
inline std::string BinaryPattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
  return bytes;
}

inline bool AllZero(const char* data, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (data[i] != 0) return false;
  return true;
}

#endif
