// Taking control values and texts from the front of a fuzz input.
#ifndef ZELVORA_FUZZ_FUZZINPUT_H
#define ZELVORA_FUZZ_FUZZINPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class CFuzzInput {
 public:
  CFuzzInput(const uint8_t* data, size_t size) : m_Data(data), m_Size(size), m_Offset(0) {}

  // The next byte, or 0 once the input is used up.
  uint8_t TakeByte() { return m_Offset < m_Size ? m_Data[m_Offset++] : 0; }

  // Up to count bytes; *taken says how many there were.
  const uint8_t* TakeBytes(size_t count, size_t* taken) {
    const size_t left = m_Size - m_Offset;
    if (count > left) count = left;
    const uint8_t* bytes = m_Data + m_Offset;
    m_Offset += count;
    *taken = count;
    return bytes;
  }

  // The text up to the next separator byte (dropped) or the end.
  std::string TakeField(char separator) {
    std::string field;
    while (m_Offset < m_Size) {
      const char c = static_cast<char>(m_Data[m_Offset++]);
      if (c == separator) break;
      field += c;
    }
    return field;
  }

  std::string TakeRest() {
    std::string rest(reinterpret_cast<const char*>(m_Data + m_Offset), m_Size - m_Offset);
    m_Offset = m_Size;
    return rest;
  }

  const uint8_t* Rest(size_t* size) const {
    *size = m_Size - m_Offset;
    return m_Data + m_Offset;
  }

 private:
  const uint8_t* m_Data;
  size_t m_Size;
  size_t m_Offset;
};

// Reads every byte of a block, so the address checker sees a block that is
// shorter than reported.
inline void TouchBytes(const char* data, size_t length) {
  volatile unsigned char sink = 0;
  for (size_t i = 0; i < length; ++i) sink = sink ^ static_cast<unsigned char>(data[i]);
  (void)sink;
}

// Stops the run on a broken invariant; libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                       \
  do {                                                                              \
    if (!(condition)) {                                                             \
      fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      abort();                                                                      \
    }                                                                               \
  } while (0)

#endif
