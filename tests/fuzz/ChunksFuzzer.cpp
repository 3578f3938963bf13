// The chunk decoder fed the framed bytes in pieces: the first byte says how
// many piece sizes follow, the sizes come next, the rest is the framed body.
#include "FuzzInput.h"
#include "engine/ChunkDecoder.h"
#include "engine/HttpClient.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFuzzInput input(data, size);
  size_t sizeCount = 0;
  const uint8_t* sizes = input.TakeBytes(input.TakeByte() % 8 + 1, &sizeCount);
  size_t bodySize = 0;
  const uint8_t* body = input.Rest(&bodySize);

  CHttpClient client;
  if (!client.m_StreamsReady) return 0;
  client.m_Chunked = 1;

  int pendingSize = -1;
  size_t appended = 0;
  size_t next = 0;
  for (;;) {
    size_t piece = sizeCount > 0 ? sizes[next++ % sizeCount] : 0;
    // A zero size stands for a large piece, so long chunks are reached too.
    if (piece == 0) piece = 4096;
    if (piece > bodySize - appended) piece = bodySize - appended;
    unsigned int written = 0;
    if (piece > 0) {
      FUZZ_CHECK(client.m_RawStream.Write(reinterpret_cast<const char*>(body + appended),
                                          static_cast<unsigned int>(piece), &written));
      FUZZ_CHECK(written == piece);
      appended += piece;
    }

    const int result = client.DecodeChunks(&pendingSize);
    FUZZ_CHECK(result == -1 || result == 0 || result == 1);
    FUZZ_CHECK(pendingSize >= -1);
    FUZZ_CHECK(client.m_RawStream.m_Length <= appended);
    // Decoding only ever removes framing: the body never holds more bytes
    // than the decoder took from the framed stream.
    const size_t taken = appended - client.m_RawStream.m_Length;
    FUZZ_CHECK(client.m_DechunkedStream.m_Length <= taken);
    if (result != 0) break;
    if (appended == bodySize) break;
  }

  unsigned int bodyLength = 0;
  const char* decoded = client.GetBody(&bodyLength);
  FUZZ_CHECK(bodyLength == client.m_DechunkedStream.m_Length);
  TouchBytes(decoded, bodyLength);
  return 0;
}
