#include "platform/LargeBlock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

// The hint must never change what a block holds, whatever its size and
// however its start lies against the huge-page grid.
TEST(LargeBlock, AdviceKeepsEveryByte) {
  const size_t sizes[] = {0, 100, 4u * 1024 * 1024 - 1, 9u * 1024 * 1024 + 123};
  for (size_t size : sizes) {
    for (size_t shift : {0u, 1u, 4097u}) {
      char* raw = static_cast<char*>(malloc(size + shift + 1));
      ASSERT_NE(raw, nullptr);
      char* block = raw + shift;
      for (size_t i = 0; i < size; ++i) block[i] = static_cast<char>(i * 31 + 7);
      AdviseLargeBlock(block, size);
      size_t bad = 0;
      for (size_t i = 0; i < size; ++i)
        if (block[i] != static_cast<char>(i * 31 + 7)) ++bad;
      EXPECT_EQ(bad, 0u) << "size " << size << " shift " << shift;
      free(raw);
    }
  }
  AdviseLargeBlock(nullptr, 8u * 1024 * 1024);
}
