// Reading one response: the head, then the body by length or by chunks,
// into memory or into the download's output file.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/ChunkDecoder.h"
#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"
#include "platform/CRuntime.h"

int CHttpClient::ReadResponse() {
  m_ResponseClean = 0;
  m_ChunkProgress = CChunkDecoder();
  if (!ReadHead()) return 0;

  if (m_Method == HTTP_METHOD_HEAD) {
    // No body; anything after the head belongs to no response of ours, and
    // is neither kept nor shown.
    m_ResponseClean = m_RawStream.m_Length == 0 ? 1 : 0;
    m_RawStream.CutEnd(0);
    return 1;
  }

  if (!ChooseBodyRoute()) return 0;
  const int read = m_Chunked ? ReadChunkedBody() : ReadBodyByLength();
  // Without a length or chunks the answer ends at its head for us, but its
  // sender may still be sending its body: what comes next on the
  // connection could be that body, not the next answer.
  if (!m_LengthKnown) m_ResponseClean = 0;
  return m_Sink->End(*this, read);
}

int CHttpClient::ParseHeaders() {
  // Nothing of an earlier head, an interim one included, stays.
  static_cast<CResponseHeadFields&>(*this) = CResponseHeadFields();
  if (!ReadParsedHead(m_ResponseHead, &m_Head)) {
    m_ErrorCode = HTTP_ERR_RESPONSE_FORMAT;
    return 0;
  }
  m_StatusCode = m_Head.m_StatusCode;
  m_ResponseVersion = m_Head.m_Version;
  m_ReasonPhrase = m_Head.m_Reason;
  FillHeaderMap(m_Head, m_ResponseHeaders);

  HttpError error = HTTP_ERR_NONE;
  if (!ReadBodyFields(m_Head, m_Method, this, &error)) {
    m_ErrorCode = error;
    return 0;
  }

  // Any Location with a value makes a redirect, which closes the
  // connection; the first such line is the one kept.
  if (m_StatusCode >= 300 && m_StatusCode <= 399) {
    for (const HeadField& field : m_Head.m_Fields) {
      if (!field.m_Value.empty() && StrICmp(field.m_Name.c_str(), "Location") == 0) {
        m_Location = field.m_Value;
        break;
      }
    }
  }
  return 1;
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
  m_RawStream.DropFront(headLength);
  return 1;
}

int CHttpClient::DeliverFirstBytes(unsigned int length) {
  if (length == 0) return 1;
  if (!m_Sink->Received(*this, m_RawStream.m_Data, length, length)) return 0;
  if (m_DataCallback) m_DataCallback(this, m_RawStream.m_Data, static_cast<int>(length), m_CallbackParam);
  // Framed bytes wait where they are for the chunk decoder.
  if (m_Chunked) return 1;
  return m_Sink->StoreFirst(*this, length);
}

int CHttpClient::ReadBodyByLength() {
  const uint64_t length = static_cast<uint64_t>(m_ContentLength);
  // Bytes beyond the announced length are no body: they are neither kept nor
  // written, and they make the connection unfit for another request.
  int surplus = 0;
  if (static_cast<uint64_t>(m_RawStream.m_Length) > length) {
    m_RawStream.CutEnd(static_cast<unsigned int>(length));
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
    if (!m_Sink->Received(*this, buffer, piece, have) || !m_Sink->Store(*this, buffer, piece))
      return 0;
  }
  m_ResponseClean = surplus ? 0 : 1;
  return 1;
}

int CHttpClient::ReadChunkedBody() {
  // Each block is decoded before it is passed on, so that the callbacks and
  // a file of the bytes as received get the answer's bytes and none of what
  // came behind its end in the same block. The framed bytes wait in
  // m_RawStream until the decoder takes them; chunk data leaves it on every
  // call, so it holds a line at most.
  unsigned int taken = 0;
  int decoded = DecodeBufferedChunks(&taken);
  const unsigned int first = decoded == 1 ? taken : m_RawStream.m_Length;
  if (!DeliverFirstBytes(first)) return 0;
  unsigned int surplus = m_RawStream.m_Length - first;
  m_RawStream.DropFront(taken);
  uint64_t have = first;

  char buffer[kReceiveBlock];
  while (decoded == 0) {
    int received = 0;
    if (!Receive(buffer, &received)) return 0;
    const unsigned int piece = static_cast<unsigned int>(received);
    if (!KeepInMemory(m_RawStream, buffer, piece)) return 0;
    taken = 0;
    decoded = DecodeBufferedChunks(&taken);
    // Whatever stays behind the end came in this block: everything before
    // it was decoded by earlier calls.
    surplus = decoded == 1 ? m_RawStream.m_Length - taken : 0;
    const unsigned int part = piece - surplus;
    have += part;
    if (m_DataCallback) m_DataCallback(this, buffer, static_cast<int>(part), m_CallbackParam);
    if (!m_Sink->Received(*this, buffer, part, have)) return 0;
    m_RawStream.DropFront(taken);
  }
  if (decoded < 0) return 0;
  // Bytes after the end are no answer of ours.
  m_RawStream.CutEnd(0);
  m_ResponseClean = surplus == 0 ? 1 : 0;
  return 1;
}

int CHttpClient::DecodeChunks() {
  if (!m_Chunked) return 1;
  unsigned int taken = 0;
  const int result = DecodeBufferedChunks(&taken);
  m_RawStream.DropFront(taken);
  return result;
}

int CHttpClient::DecodeBufferedChunks(unsigned int* taken) {
  HttpError error = HTTP_ERR_NONE;
  const int result = m_ChunkProgress.Decode(m_RawStream.m_Data + *taken,
                                            m_RawStream.m_Length - *taken, taken,
                                            StoreChunkData, this, &error);
  // A sink that stopped the decoder has set its own code.
  if (result < 0 && error != HTTP_ERR_NONE) m_ErrorCode = error;
  return result;
}

int CHttpClient::StoreChunkData(void* client, const char* data, unsigned int length) {
  CHttpClient& self = *static_cast<CHttpClient*>(client);
  return self.m_Sink->Store(self, data, length);
}
