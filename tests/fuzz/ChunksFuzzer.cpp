// The chunk decoder fed the framed bytes in pieces: the first byte says how
// many piece sizes follow, the sizes come next, the rest is the framed body.
// The way the bytes are cut into pieces must not change the outcome: the
// same body appended whole decodes alike, with the same verdict and code.
// The verdict is checked against the framing rules read here on their own
// (a size line of hexadecimal digits within 63 bits, optional spaces or
// tabs, an optional extension after ";", CR LF, all within kChunkLineLimit
// bytes; the data; CR LF after it; after the last chunk, trailer lines up
// to an empty line, within the line and trailer limits): a body that keeps
// them and is in hand is done, one that keeps them so far waits, and one
// that breaks one is refused at once with its code, never waited on.
#include <string>

#include "ChunkReference.h"
#include "FuzzInput.h"
#include "engine/ChunkDecoder.h"
#include "engine/HttpClient.h"

namespace {

struct DecodeOutcome {
  int m_Result;
  HttpError m_Error;
  ChunkPhase m_Phase;
  uint64_t m_Left;
  std::string m_Decoded;
  std::string m_Unread;
};

std::string StreamText(const CMemStream& stream) {
  return stream.m_Data ? std::string(stream.m_Data, stream.m_Length) : std::string();
}

// Appends the body piece by piece (a piece size 0 stands for a large piece,
// so long chunks are reached too; no sizes means the body at once) and runs
// the decoder after every append, as response reading does.
DecodeOutcome Decode(const uint8_t* body, size_t bodySize, const uint8_t* sizes, size_t sizeCount) {
  DecodeOutcome outcome = {0, HTTP_ERR_NONE, CHUNK_SIZE_LINE, 0, std::string(), std::string()};
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

    outcome.m_Result = client.DecodeChunks();
    FUZZ_CHECK(outcome.m_Result == -1 || outcome.m_Result == 0 || outcome.m_Result == 1);
    FUZZ_CHECK(client.m_RawStream.m_Length <= appended);
    // Decoding only ever removes framing: the body never holds more bytes
    // than the decoder took from the framed stream.
    const size_t taken = appended - client.m_RawStream.m_Length;
    FUZZ_CHECK(client.m_DechunkedStream.m_Length <= taken);
    // Chunk data never waits for the rest of its chunk: while more is
    // needed, only a line or a line end stays buffered.
    if (outcome.m_Result == 0) {
      FUZZ_CHECK(client.m_ChunkProgress.m_Phase != CHUNK_DATA || client.m_RawStream.m_Length == 0);
      FUZZ_CHECK(client.m_RawStream.m_Length < kChunkLineLimit);
    }
    // A refusal always says why; nothing else sets a code.
    if (outcome.m_Result < 0) {
      FUZZ_CHECK(client.m_ErrorCode == HTTP_ERR_RESPONSE_FORMAT ||
                 client.m_ErrorCode == HTTP_ERR_CHUNK_TOO_LARGE);
    } else {
      FUZZ_CHECK(client.m_ErrorCode == HTTP_ERR_NONE);
    }
    if (outcome.m_Result != 0 || appended == bodySize) break;
  }

  unsigned int bodyLength = 0;
  const char* decoded = client.GetBody(&bodyLength);
  FUZZ_CHECK(bodyLength == client.m_DechunkedStream.m_Length);
  TouchBytes(decoded, bodyLength);
  outcome.m_Error = client.m_ErrorCode;
  outcome.m_Phase = client.m_ChunkProgress.m_Phase;
  outcome.m_Left = client.m_ChunkProgress.m_Left;
  outcome.m_Decoded.assign(decoded, bodyLength);
  outcome.m_Unread = StreamText(client.m_RawStream);
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
  FUZZ_CHECK(pieces.m_Error == whole.m_Error);
  FUZZ_CHECK(pieces.m_Decoded == whole.m_Decoded);
  // Once the body is done or refused, what is left is whatever had come by
  // then; both runs start it at the same byte.
  FUZZ_CHECK(whole.m_Unread.compare(0, pieces.m_Unread.size(), pieces.m_Unread) == 0);
  if (pieces.m_Result == 0) {
    FUZZ_CHECK(pieces.m_Unread == whole.m_Unread);
    FUZZ_CHECK(pieces.m_Phase == whole.m_Phase);
    FUZZ_CHECK(pieces.m_Left == whole.m_Left);
  }

  const std::string framed(reinterpret_cast<const char*>(body), bodySize);
  const chunkref::ChunkReference ref = chunkref::Reference(framed);
  switch (ref.m_Verdict) {
    case chunkref::CHUNKS_NEED_MORE:
      // Nothing wrong yet: the decoder waits, and has passed on every byte
      // of chunk data in hand.
      FUZZ_CHECK(whole.m_Result == 0);
      FUZZ_CHECK(whole.m_Decoded == ref.m_Body);
      break;
    case chunkref::CHUNKS_REFUSED:
      // Refused at once, for the same reason, never waited on; what was
      // passed on is chunk data the rules had accepted.
      FUZZ_CHECK(whole.m_Result == -1);
      FUZZ_CHECK(whole.m_Error == ref.m_Error);
      FUZZ_CHECK(ref.m_Body.compare(0, whole.m_Decoded.size(), whole.m_Decoded) == 0);
      break;
    case chunkref::CHUNKS_DONE:
      FUZZ_CHECK(whole.m_Result == 1);
      FUZZ_CHECK(whole.m_Decoded == ref.m_Body);
      break;
  }
  // A finished body leaves behind exactly the bytes after its end.
  if (whole.m_Result == 1) FUZZ_CHECK(whole.m_Unread == framed.substr(ref.m_End));
  return 0;
}
