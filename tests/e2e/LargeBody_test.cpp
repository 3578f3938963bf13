// Bodies far larger than the memory the program may map go to their file
// whole: chunked, compressed and both, to a file and to a device. Before,
// a chunked body was also held de-chunked and a compressed one whole, and
// both failed under such a limit.
#include <cstdio>
#include <string>

#include "e2e/E2e.h"

namespace {

// The sanitizers map terabytes of shadow memory: no address-space limit can
// hold them, so under them this test is not built at all.
#if defined(__SANITIZE_ADDRESS__)
#define ZELVORA_ADDRESS_LIMITS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZELVORA_ADDRESS_LIMITS 0
#endif
#endif
#ifndef ZELVORA_ADDRESS_LIMITS
#define ZELVORA_ADDRESS_LIMITS 1
#endif

#if ZELVORA_ADDRESS_LIMITS

// 1 MiB that does not compress, sent 40 times over: 40 MiB in all. The
// server repeats the one block and the file is checked block by block, so
// the test holds no copy of the body and its time goes to the program.
const size_t kBlock = 1 << 20;
const size_t kBlocks = 40;
// Far below the body, well above what the program itself maps.
const unsigned long kAddressSpace = 16ul << 20;

std::string NoiseBlock() {
  std::string bytes(kBlock, '\0');
  uint32_t state = 2463534242u;
  for (char& b : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<char>(state >> 24);
  }
  return bytes;
}

// The chunk framing of data without the last chunk, so that copies of it
// follow one another in one chunked body.
std::string ChunksOf(const std::string& data) {
  const std::string framed = Chunked(data, 700);
  return framed.substr(0, framed.size() - 5);
}

// The file holds `times` copies of block and nothing else.
bool HoldsRepeated(const std::string& path, const std::string& block, size_t times) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  std::string read(block.size(), '\0');
  bool same = true;
  for (size_t i = 0; same && i < times; ++i) {
    same = fread(&read[0], 1, read.size(), file) == read.size() && read == block;
  }
  same = same && fgetc(file) == EOF;
  fclose(file);
  return same;
}

TEST(LargeBody, ChunkedAndCompressedBodiesNeedNoMemoryOfTheirSize) {
  const std::string block = NoiseBlock();
  // Members one after another, as concatenated .gz files are.
  const std::string member = Gzip(block);
  ASSERT_GT(member.size() * kBlocks, 2 * kAddressSpace);
  const std::string gzHeader = "Content-Encoding: gzip\r\n";
  const std::string gzLength = "Content-Length: " + std::to_string(member.size() * kBlocks) + "\r\n";
  struct Case {
    const char* name;
    std::string head;
    std::string repeated;  // sent kBlocks times after the head
    std::string tail;
    const char* output;  // a file in the sandbox, or a device
  } cases[] = {
      {"chunked to a file", ChunkedResponse("200 OK", "", ""), ChunksOf(block), "0\r\n\r\n",
       "out.bin"},
      {"gzip to a file", "HTTP/1.1 200 OK\r\n" + gzHeader + gzLength + "\r\n", member, "",
       "out.bin"},
      {"chunked gzip to a file", ChunkedResponse("200 OK", gzHeader, ""), ChunksOf(member),
       "0\r\n\r\n", "out.bin"},
      {"chunked gzip to a device", ChunkedResponse("200 OK", gzHeader, ""), ChunksOf(member),
       "0\r\n\r\n", "/dev/null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    sandbox.SetAddressSpaceLimit(kAddressSpace);
    CScriptedServer server(CServerScript(
        {{Exchange().Send(c.head).SendRepeated(c.repeated, kBlocks).Send(c.tail)}}));
    const std::string output = c.output[0] == '/' ? c.output : sandbox.File(c.output);
    CProgramResult run = RunIn(sandbox, {server.Url("/big"), "-o", output});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(c.head + "Download: " + output + "\r\n", run.m_Out);
    if (c.output[0] != '/') {
      EXPECT_TRUE(HoldsRepeated(output, block, kBlocks));
    }
  }
}

#endif  // ZELVORA_ADDRESS_LIMITS

}  // namespace
