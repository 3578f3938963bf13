// Reading one response: the head, then the body by length or by chunks,
// into memory or into the download's output file.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/ChunkDecoder.h"
#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"

namespace {

// Cuts the stream back to its first length bytes.
void CutStream(CMemStream& stream, unsigned int length) {
  if (length >= stream.m_Length) return;
  memset(stream.m_Data + length, 0, stream.m_Length - length);
  stream.m_Length = length;
}

}  // namespace

int CHttpClient::ReadResponse() {
  m_ResponseClean = 0;
  m_ChunkProgress = ChunkProgress();
  if (!ReadHead()) return 0;

  if (m_Method == HTTP_METHOD_HEAD) {
    // No body; anything after the head belongs to no response of ours, and
    // is neither kept nor shown.
    m_ResponseClean = m_RawStream.m_Length == 0 ? 1 : 0;
    CutStream(m_RawStream, 0);
    return 1;
  }

  if (!ChooseBodyRoute()) return 0;
  const int read = m_Chunked ? ReadChunkedBody() : ReadBodyByLength();
  return EndBody(read);
}

int CHttpClient::ReadHead() {
  char buffer[kReceiveBlock];
  int parsed = 0;
  for (;;) {
    // Bytes behind an interim answer may already hold the next head. The
    // limit is judged on the head's own bytes, never on what one receive
    // brought: only its first kHeadLimit bytes are searched.
    const size_t searched = m_RawStream.m_Length < kHeadLimit ? m_RawStream.m_Length : kHeadLimit;
    const size_t headLength = m_RawStream.m_Data ? FindHeadEnd(m_RawStream.m_Data, searched) : 0;
    if (headLength > 0) {
      if (!MoveHeadOut(static_cast<unsigned int>(headLength))) return 0;
      parsed = ParseHeaders();
      // A 1xx answer we did not ask for comes before the final one, which is
      // the one shown, stored and reported.
      if (parsed && IsInterimStatus(m_StatusCode)) {
        // Nothing of it stays, should no final answer come.
        static_cast<CResponseHeadFields&>(*this) = CResponseHeadFields();
        m_ResponseHead.clear();
        continue;
      }
      break;
    }
    if (m_RawStream.m_Length >= kHeadLimit) {
      m_ErrorCode = HTTP_ERR_RESPONSE_FORMAT;
      return 0;
    }
    int received = 0;
    if (!Receive(buffer, &received)) return 0;
    if (!KeepInMemory(m_RawStream, buffer, static_cast<unsigned int>(received))) return 0;
  }

  // The head callback sees the head even when it is refused.
  if (m_HeadCallback) m_HeadCallback(this, m_ResponseHead.c_str(), m_CallbackParam);
  return parsed;
}

int CHttpClient::MoveHeadOut(unsigned int headLength) {
  // The head is handled as text from here on: a zero byte would cut it, and
  // the lines after it would be lost unseen.
  if (memchr(m_RawStream.m_Data, 0, headLength)) {
    m_ErrorCode = HTTP_ERR_RESPONSE_FORMAT;
    return 0;
  }
  m_ResponseHead.assign(m_RawStream.m_Data, headLength);
  const unsigned int rest = m_RawStream.m_Length - headLength;
  memmove(m_RawStream.m_Data, m_RawStream.m_Data + headLength, rest);
  m_RawStream.m_Length = rest;
  m_RawStream.m_Data[rest] = 0;
  return 1;
}

int CHttpClient::DeliverFirstBytes(unsigned int length) {
  if (length == 0) return 1;
  if (!PassReceived(m_RawStream.m_Data, length, length)) return 0;
  if (m_DataCallback) m_DataCallback(this, m_RawStream.m_Data, static_cast<int>(length), m_CallbackParam);
  // A body in memory by length stays where it is; framed bytes wait there
  // for the chunk decoder.
  if (m_Chunked || m_BodyRoute == BODY_TO_MEMORY) return 1;
  if (!StoreBody(m_RawStream.m_Data, length)) return 0;
  CutStream(m_RawStream, 0);
  return 1;
}

void CHttpClient::ReportProgress(uint64_t done) {
  if (m_ProgressCallback)
    m_ProgressCallback(this, static_cast<uint64_t>(m_ContentLength), done, m_CallbackParam);
}

int CHttpClient::ReadBodyByLength() {
  const uint64_t length = static_cast<uint64_t>(m_ContentLength);
  // Bytes beyond the announced length are no body: they are neither kept nor
  // written, and they make the connection unfit for another request.
  int surplus = 0;
  if (static_cast<uint64_t>(m_RawStream.m_Length) > length) {
    CutStream(m_RawStream, static_cast<unsigned int>(length));
    surplus = 1;
  }
  uint64_t have = m_RawStream.m_Length;
  if (!DeliverFirstBytes(m_RawStream.m_Length)) return 0;

  char buffer[kReceiveBlock];
  while (have < length) {
    int received = 0;
    if (!Receive(buffer, &received)) return 0;
    unsigned int piece = static_cast<unsigned int>(received);
    if (piece > length - have) {
      piece = static_cast<unsigned int>(length - have);
      surplus = 1;
    }
    have += piece;
    if (m_DataCallback) m_DataCallback(this, buffer, static_cast<int>(piece), m_CallbackParam);
    if (!PassReceived(buffer, piece, have) || !StoreBody(buffer, piece)) return 0;
  }
  m_ResponseClean = surplus ? 0 : 1;
  return 1;
}

int CHttpClient::ReadChunkedBody() {
  uint64_t have = m_RawStream.m_Length;
  if (!DeliverFirstBytes(m_RawStream.m_Length)) return 0;

  // The framed bytes wait in m_RawStream until DecodeChunks takes them;
  // chunk data leaves it on every call, so it holds a line at most.
  int decoded = DecodeChunks();
  char buffer[kReceiveBlock];
  while (decoded == 0) {
    int received = 0;
    if (!Receive(buffer, &received)) return 0;
    const unsigned int piece = static_cast<unsigned int>(received);
    have += piece;
    if (m_DataCallback) m_DataCallback(this, buffer, received, m_CallbackParam);
    if (!PassReceived(buffer, piece, have)) return 0;
    if (!KeepInMemory(m_RawStream, buffer, piece)) return 0;
    decoded = DecodeChunks();
  }
  if (decoded < 0) return 0;
  m_ResponseClean = ChunkedBodyEndedExactly(m_RawStream);
  return 1;
}
