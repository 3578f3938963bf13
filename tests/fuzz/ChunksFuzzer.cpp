// The chunk decoder fed the framed bytes in pieces: the first byte says how
// many piece sizes follow, the sizes come next, the rest is the framed body.
// Besides the bound on the decoded bytes, the way the bytes are cut into
// pieces must not change the outcome: the same body appended whole decodes
// alike.
#include <string>

#include "FuzzInput.h"
#include "engine/ChunkDecoder.h"
#include "engine/HttpClient.h"

namespace {

struct DecodeOutcome {
  int m_Result;
  int m_PendingSize;
  std::string m_Decoded;
  std::string m_Left;
};

std::string StreamText(const CMemStream& stream) {
  return stream.m_Data ? std::string(stream.m_Data, stream.m_Length) : std::string();
}

// Appends the body piece by piece (a piece size 0 stands for a large piece,
// so long chunks are reached too; no sizes means the body at once) and runs
// the decoder after every append, as response reading does.
DecodeOutcome Decode(const uint8_t* body, size_t bodySize, const uint8_t* sizes, size_t sizeCount) {
  DecodeOutcome outcome = {0, -1, std::string(), std::string()};
  CHttpClient client;
  FUZZ_CHECK(client.m_StreamsReady);
  client.m_Chunked = 1;

  size_t appended = 0;
  size_t next = 0;
  for (;;) {
    size_t piece = sizeCount > 0 ? sizes[next++ % sizeCount] : bodySize;
    if (piece == 0) piece = 4096;
    if (piece > bodySize - appended) piece = bodySize - appended;
    if (piece > 0) {
      unsigned int written = 0;
      FUZZ_CHECK(client.m_RawStream.Write(reinterpret_cast<const char*>(body + appended),
                                          static_cast<unsigned int>(piece), &written));
      FUZZ_CHECK(written == piece);
      appended += piece;
    }

    outcome.m_Result = client.DecodeChunks(&outcome.m_PendingSize);
    FUZZ_CHECK(outcome.m_Result == -1 || outcome.m_Result == 0 || outcome.m_Result == 1);
    FUZZ_CHECK(outcome.m_PendingSize >= -1);
    FUZZ_CHECK(client.m_RawStream.m_Length <= appended);
    // Decoding only ever removes framing: the body never holds more bytes
    // than the decoder took from the framed stream.
    const size_t taken = appended - client.m_RawStream.m_Length;
    FUZZ_CHECK(client.m_DechunkedStream.m_Length <= taken);
    // The decoder records no result code of its own.
    FUZZ_CHECK(client.m_ErrorCode == HTTP_ERR_NONE);
    if (outcome.m_Result != 0 || appended == bodySize) break;
  }

  unsigned int bodyLength = 0;
  const char* decoded = client.GetBody(&bodyLength);
  FUZZ_CHECK(bodyLength == client.m_DechunkedStream.m_Length);
  TouchBytes(decoded, bodyLength);
  outcome.m_Decoded.assign(decoded, bodyLength);
  outcome.m_Left = StreamText(client.m_RawStream);
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFuzzInput input(data, size);
  size_t sizeCount = 0;
  const uint8_t* sizes = input.TakeBytes(input.TakeByte() % 8 + 1, &sizeCount);
  size_t bodySize = 0;
  const uint8_t* body = input.Rest(&bodySize);

  const DecodeOutcome pieces = Decode(body, bodySize, sizes, sizeCount);
  const DecodeOutcome whole = Decode(body, bodySize, nullptr, 0);
  FUZZ_CHECK(pieces.m_Result == whole.m_Result);
  FUZZ_CHECK(pieces.m_Decoded == whole.m_Decoded);
  if (pieces.m_Result == 0) {
    FUZZ_CHECK(pieces.m_PendingSize == whole.m_PendingSize);
    FUZZ_CHECK(pieces.m_Left == whole.m_Left);
  }
  return 0;
}
