#include "engine/MemStream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/TestBytes.h"

namespace {

// Fills the stream up to length with 'x' bytes.
void FillTo(CMemStream& stream, unsigned int length) {
  std::string bytes(length - stream.m_Length, 'x');
  unsigned int written = 0;
  ASSERT_EQ(1, stream.Write(bytes.data(), static_cast<unsigned int>(bytes.size()), &written));
}

struct HookLog {
  int reallocCalls = 0;
  int writeCalls = 0;
  const char* lastWriteData = NULL;
  unsigned int lastWriteLength = 0;
  std::vector<void*> freed;
};
HookLog g_Log;

void* FailingRealloc(void*, unsigned int) {
  ++g_Log.reallocCalls;
  return NULL;
}
void RecordingFree(void* block) {
  g_Log.freed.push_back(block);
  free(block);
}
void RecordingWrite(const char* data, unsigned int length, void* param) {
  ++g_Log.writeCalls;
  g_Log.lastWriteData = data;
  g_Log.lastWriteLength = length;
  EXPECT_EQ(&g_Log, param);
}

class MemStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { g_Log = HookLog(); }
};

TEST_F(MemStreamTest, AllocClampsAt128MiBAndZeroFills) {
  struct Case {
    unsigned int asked;
    unsigned int capacity;
  } cases[] = {
      {200u * 1024 * 1024, 134217728u},
      {134217728u, 134217728u},
      {65536u, 65536u},
  };
  for (const Case& c : cases) {
    CMemStream stream;
    ASSERT_EQ(1, stream.Alloc(c.asked)) << c.asked;
    EXPECT_EQ(c.capacity, stream.m_Capacity) << c.asked;
    EXPECT_EQ(0u, stream.m_Length);
    EXPECT_TRUE(AllZero(stream.m_Data, stream.m_Capacity)) << c.asked;
  }
}

TEST_F(MemStreamTest, AllocReplacesBlockAndForgetsOldLength) {
  CMemStream stream;
  stream.m_FreeHook = RecordingFree;
  ASSERT_EQ(1, stream.Alloc(1000));
  FillTo(stream, 900);
  char* oldBlock = stream.m_Data;
  ASSERT_EQ(1, stream.Alloc(100));
  ASSERT_EQ(2u, g_Log.freed.size());  // the NULL of the first Alloc, then the old block
  EXPECT_EQ(oldBlock, g_Log.freed[1]);
  EXPECT_EQ(100u, stream.m_Capacity);
  // A kept length of 900 would make Read copy from past the 100-byte block.
  EXPECT_EQ(0u, stream.m_Length);
  char out[16];
  unsigned int taken = 7;
  EXPECT_EQ(0, stream.Read(out, sizeof out, &taken));
  EXPECT_EQ(0u, taken);
}

TEST_F(MemStreamTest, WriteTerminatorAndGrowthAtCapacity) {
  struct Case {
    unsigned int appended;
    unsigned int capacity;
    bool terminated;
  } cases[] = {
      {5, 65536, true},    // room left for the zero
      {6, 65536, false},   // data fills the block exactly: no zero
      {7, 98304, true},    // one past: one growth step, zero after the data
  };
  for (const Case& c : cases) {
    CMemStream stream;
    ASSERT_EQ(1, stream.Alloc(65536));
    FillTo(stream, 65536 - 6);
    // Leave a non-zero byte where the terminator would go.
    memset(stream.m_Data + stream.m_Length, 'y', stream.m_Capacity - stream.m_Length);
    std::string bytes(c.appended, 'z');
    unsigned int written = 0;
    ASSERT_EQ(1, stream.Write(bytes.data(), c.appended, &written));
    EXPECT_EQ(c.appended, written);
    EXPECT_EQ(c.capacity, stream.m_Capacity) << c.appended;
    EXPECT_EQ(65536 - 6 + c.appended, stream.m_Length);
    EXPECT_EQ('z', stream.m_Data[stream.m_Length - 1]);
    if (c.terminated) {
      ASSERT_LT(stream.m_Length, stream.m_Capacity);
      EXPECT_EQ(0, stream.m_Data[stream.m_Length]) << c.appended;
    }
  }
}

TEST_F(MemStreamTest, ReserveGrowthSteps) {
  struct Case {
    unsigned int start;  // 0: no block at all
    unsigned int needed;
    unsigned int capacity;
  } cases[] = {
      {65536, 65536, 65536},     // already covered
      {65536, 65537, 98304},
      {65536, 147456, 147456},
      {65536, 200000, 221184},   // 98304, 147456, 221184
      {0, 10, 4096},             // no block: a sane minimum, not an endless loop
      {1, 2, 4096},              // 1 * 1.5 truncates to 1 forever
      {1, 5000, 6144},
      {2, 3, 3},                 // small blocks keep the 1.5 rule: 2, then 3
      {100, 101, 150},
      {100, 300, 337},           // 150, 225, 337
  };
  for (const Case& c : cases) {
    CMemStream stream;
    if (c.start) {
      ASSERT_EQ(1, stream.Alloc(c.start));
    }
    ASSERT_EQ(1, stream.Reserve(c.needed)) << c.start << " " << c.needed;
    EXPECT_EQ(c.capacity, stream.m_Capacity) << c.start << " " << c.needed;
    ASSERT_NE(nullptr, stream.m_Data);
  }
}

TEST_F(MemStreamTest, WriteIntoStreamWithoutBlock) {
  CMemStream stream;
  unsigned int written = 0;
  ASSERT_EQ(1, stream.Write("abc", 3, &written));
  EXPECT_EQ(3u, written);
  EXPECT_EQ(std::string("abc"), std::string(stream.m_Data, stream.m_Length));
  EXPECT_EQ(0, stream.m_Data[3]);
}

TEST_F(MemStreamTest, GrowthPast32BitsFails) {
  CMemStream stream;
  ASSERT_EQ(1, stream.Alloc(65536));
  stream.m_ReallocHook = FailingRealloc;
  char* block = stream.m_Data;
  // Every 1.5 step from 65536 that covers this lies above 32 bits.
  EXPECT_EQ(0, stream.Reserve(0xFFFFFFFFu));
  EXPECT_EQ(0, g_Log.reallocCalls);
  EXPECT_EQ(65536u, stream.m_Capacity);
  EXPECT_EQ(block, stream.m_Data);

  // An append whose total length would wrap 32 bits is refused before any copy.
  FillTo(stream, 10);
  const char small[4] = {'a', 'b', 'c', 'd'};
  unsigned int written = 123;
  EXPECT_EQ(0, stream.Write(small, 0xFFFFFFFFu - 5, &written));
  EXPECT_EQ(123u, written);
  EXPECT_EQ(10u, stream.m_Length);
}

TEST_F(MemStreamTest, FailedGrowthNeverCopiesPastBlock) {
  CMemStream stream;
  ASSERT_EQ(1, stream.Alloc(65536));
  FillTo(stream, 100);
  stream.m_ReallocHook = FailingRealloc;
  stream.m_OnWrite = RecordingWrite;
  stream.m_OnWriteParam = &g_Log;
  std::string big(70000, 'b');
  unsigned int written = 123;
  EXPECT_EQ(0, stream.Write(big.data(), static_cast<unsigned int>(big.size()), &written));
  EXPECT_EQ(1, g_Log.reallocCalls);
  EXPECT_EQ(123u, written);
  EXPECT_EQ(100u, stream.m_Length);
  EXPECT_EQ(65536u, stream.m_Capacity);
  EXPECT_EQ(0, g_Log.writeCalls);
  EXPECT_EQ(0, stream.m_Data[100]);
}

TEST_F(MemStreamTest, WriteHookAndEmptyWrite) {
  CMemStream stream;
  ASSERT_EQ(1, stream.Alloc(64));
  stream.m_OnWrite = RecordingWrite;
  stream.m_OnWriteParam = &g_Log;

  unsigned int written = 99;
  EXPECT_EQ(1, stream.Write("abc", 0, &written));
  EXPECT_EQ(99u, written);
  EXPECT_EQ(0u, stream.m_Length);
  EXPECT_EQ(0, g_Log.writeCalls);

  const char data[] = "hello";
  EXPECT_EQ(1, stream.Write(data, 5, &written));
  EXPECT_EQ(1, g_Log.writeCalls);
  EXPECT_EQ(data, g_Log.lastWriteData);  // the caller's bytes, not the copy
  EXPECT_EQ(5u, g_Log.lastWriteLength);
}

TEST_F(MemStreamTest, MaximumLengthRefusesOnlyOnceExceeded) {
  CMemStream stream;
  ASSERT_EQ(1, stream.Alloc(64));
  stream.m_MaxLength = 10;
  FillTo(stream, 10);
  unsigned int written = 0;
  EXPECT_EQ(1, stream.Write("a", 1, &written));  // length 10 is not above the maximum
  EXPECT_EQ(11u, stream.m_Length);
  written = 77;
  EXPECT_EQ(0, stream.Write("b", 1, &written));
  EXPECT_EQ(77u, written);
  EXPECT_EQ(11u, stream.m_Length);
}

TEST_F(MemStreamTest, ReadFromFront) {
  struct Case {
    const char* held;
    unsigned int asked;
    int result;
    const char* got;
    const char* left;
  } cases[] = {
      {"abcd", 0, 1, "", "abcd"},
      {"", 5, 0, "", ""},
      {"abcd", 10, 1, "abcd", ""},
      {"abcdef", 2, 1, "ab", "cdef"},
      {"abcdef", 6, 1, "abcdef", ""},
  };
  for (const Case& c : cases) {
    CMemStream stream;
    ASSERT_EQ(1, stream.Alloc(16));
    unsigned int written = 0;
    stream.Write(c.held, static_cast<unsigned int>(strlen(c.held)), &written);
    char out[32] = {0};
    unsigned int taken = 99;
    EXPECT_EQ(c.result, stream.Read(out, c.asked, &taken)) << c.held << "/" << c.asked;
    EXPECT_EQ(strlen(c.got), taken) << c.held << "/" << c.asked;
    EXPECT_EQ(std::string(c.got), std::string(out, taken));
    EXPECT_EQ(std::string(c.left), std::string(stream.m_Data, stream.m_Length));
    EXPECT_EQ(0, stream.m_Data[stream.m_Length]);
  }
}

// Both moves leave the data zero-terminated and never reach past it; a
// stream that fills its block exactly is the case where a careless move
// would write the zero past the end.
TEST_F(MemStreamTest, DropFrontAndCutEnd) {
  struct Case {
    const char* held;
    unsigned int count;  // dropped from the front, or the length cut to
    const char* afterDrop;
    const char* afterCut;
  } cases[] = {
      {"abcdefgh", 0, "abcdefgh", ""},
      {"abcdefgh", 3, "defgh", "abc"},
      {"abcdefgh", 8, "", "abcdefgh"},
      {"abcdefgh", 50, "", "abcdefgh"},
      {"", 2, "", ""},
  };
  for (const Case& c : cases) {
    for (int drop = 0; drop < 2; ++drop) {
      CMemStream stream;
      ASSERT_EQ(1, stream.Alloc(8));
      unsigned int written = 0;
      stream.Write(c.held, static_cast<unsigned int>(strlen(c.held)), &written);
      if (drop)
        stream.DropFront(c.count);
      else
        stream.CutEnd(c.count);
      const std::string expected = drop ? c.afterDrop : c.afterCut;
      EXPECT_EQ(expected, std::string(stream.m_Data, stream.m_Length)) << c.held << " " << c.count;
      if (stream.m_Length < stream.m_Capacity) {
        EXPECT_EQ(0, stream.m_Data[stream.m_Length]);
      }
      if (!drop) {
        EXPECT_TRUE(AllZero(stream.m_Data + stream.m_Length, stream.m_Capacity - stream.m_Length));
      }
    }
  }
  CMemStream none;  // no block: nothing to move
  none.DropFront(3);
  none.CutEnd(0);
  EXPECT_EQ(0u, none.m_Length);
}

TEST_F(MemStreamTest, ClearKeepsGrownBlock) {
  CMemStream stream;
  ASSERT_EQ(1, stream.Alloc(65536));
  FillTo(stream, 70000);
  ASSERT_EQ(98304u, stream.m_Capacity);
  stream.Clear();
  EXPECT_EQ(0u, stream.m_Length);
  EXPECT_EQ(98304u, stream.m_Capacity);
  EXPECT_TRUE(AllZero(stream.m_Data, stream.m_Capacity));

  CMemStream empty;
  empty.Clear();  // no block: nothing to do
  EXPECT_EQ(nullptr, empty.m_Data);
}

}  // namespace
