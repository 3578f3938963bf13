// Bodies far larger than the memory the program may map go to their file
// whole: chunked, compressed and both, to a file and to a device. Before,
// a chunked body was also held de-chunked and a compressed one whole, and
// both failed under such a limit.
#include <string>
#include <vector>

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

// 1 MiB that does not compress, repeated: 40 MiB in all.
const size_t kBlock = 1 << 20;
const int kBlocks = 40;
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

std::string Repeat(const std::string& block, int times) {
  std::string out;
  out.reserve(block.size() * static_cast<size_t>(times));
  for (int i = 0; i < times; ++i) out += block;
  return out;
}

TEST(LargeBody, ChunkedAndCompressedBodiesNeedNoMemoryOfTheirSize) {
  const std::string block = NoiseBlock();
  const std::string body = Repeat(block, kBlocks);
  // Members one after another, as concatenated .gz files are.
  const std::string gz = Repeat(Gzip(block), kBlocks);
  ASSERT_GT(gz.size(), 2 * kAddressSpace);
  const std::string gzHeader = "Content-Encoding: gzip\r\n";
  struct Case {
    const char* name;
    std::string reply;
    const char* output;  // a file in the sandbox, or a device
  } cases[] = {
      {"chunked to a file", ChunkedOk(body), "out.bin"},
      {"gzip to a file", Ok(gz, gzHeader), "out.bin"},
      {"chunked gzip to a file", ChunkedOk(gz, gzHeader), "out.bin"},
      {"chunked gzip to a device", ChunkedOk(gz, gzHeader), "/dev/null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CProgramSandbox sandbox(ZELVORA_EXE);
    sandbox.SetAddressSpaceLimit(kAddressSpace);
    CScriptedServer server(CServerScript::OneReply(c.reply));
    const std::string output = c.output[0] == '/' ? c.output : sandbox.File(c.output);
    CProgramResult run = RunIn(sandbox, {server.Url("/big"), "-o", output});
    EXPECT_EQ(1, run.m_ExitCode);
    EXPECT_EQ(HeadOf(c.reply) + "Download: " + output + "\r\n", run.m_Out);
    if (c.output[0] != '/') {
      EXPECT_TRUE(sandbox.ReadFile(c.output) == body);
    }
  }
}

#endif  // ZELVORA_ADDRESS_LIMITS

}  // namespace
