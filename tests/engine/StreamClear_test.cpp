#include "engine/MemStream.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TestBytes.h"

namespace {

void Put(CMemStream& stream, unsigned int length, char byte) {
  std::string bytes(length, byte);
  unsigned int written = 0;
  ASSERT_EQ(1, stream.Write(bytes.data(), length, &written));
}

}  // namespace

// Clear fills only what may have been used, so every way a byte can be left
// behind must still end up zero: data read from the front (moved, with a
// stale tail), a block grown by the heap, and a reuse after a smaller body.
TEST(StreamClear, LeavesTheWholeBlockZero) {
  CMemStream stream;
  ASSERT_EQ(1, stream.Alloc(65536));

  Put(stream, 1000, 'a');
  char out[600];
  unsigned int taken = 0;
  ASSERT_EQ(1, stream.Read(out, sizeof(out), &taken));
  ASSERT_EQ(400u, stream.m_Length);
  stream.Clear();
  EXPECT_TRUE(AllZero(stream.m_Data, stream.m_Capacity)) << "stale tail after a read";

  Put(stream, 200000, 'b');  // grows the block past its first size
  ASSERT_GT(stream.m_Capacity, 200000u);
  stream.Clear();
  EXPECT_TRUE(AllZero(stream.m_Data, stream.m_Capacity)) << "after growth";

  Put(stream, 10, 'c');
  stream.Clear();
  EXPECT_TRUE(AllZero(stream.m_Data, stream.m_Capacity)) << "small body in a grown block";
  EXPECT_EQ(0u, stream.m_Length);

  Put(stream, 70000, 'd');
  ASSERT_EQ(1, stream.Read(out, sizeof(out), &taken));
  stream.Clear();
  EXPECT_TRUE(AllZero(stream.m_Data, stream.m_Capacity)) << "larger body again, partly read";
}
