// Reading one response: the head, then the body by length or by chunks,
// into memory or into the download's output file.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/ChunkDecoder.h"
#include "engine/DownloadBody.h"
#include "engine/HttpClient.h"
#include "engine/KmpSearch.h"

namespace {

// Without the blank line within this many buffered bytes the head is refused.
const unsigned int kHeadLimit = 8192;

// Appends and checks that every byte went in. A failed append means the
// body cannot be held.
int AppendChecked(CMemStream& stream, const char* data, unsigned int length) {
  if (length == 0) return 1;
  const unsigned int before = stream.m_Length;
  unsigned int written = 0;
  if (!stream.Write(data, length, &written)) return 0;
  return written == length && stream.m_Length - before == length;
}

// Cuts the stream back to its first length bytes.
void CutStream(CMemStream& stream, unsigned int length) {
  if (length >= stream.m_Length) return;
  memset(stream.m_Data + length, 0, stream.m_Length - length);
  stream.m_Length = length;
}

}  // namespace

int CHttpClient::ReadResponse() {
  m_ResponseClean = 0;
  char buffer[kReceiveBlock];
  int received = 0;

  // Head phase: collect until the blank line that ends the head.
  int headLength = -1;
  for (;;) {
    if (!Receive(buffer, &received)) return 0;
    if (!AppendChecked(m_RawStream, buffer, static_cast<unsigned int>(received))) {
      m_ErrorCode = HTTP_ERR_BODY_TOO_LARGE;
      return 0;
    }
    if (m_RawStream.m_Length > 4)
      headLength = KmpSearch(m_RawStream.m_Data, static_cast<int>(m_RawStream.m_Length),
                             "\r\n\r\n", 4);
    if (headLength > 0) break;
    if (m_RawStream.m_Length > kHeadLimit) {
      m_ErrorCode = HTTP_ERR_RESPONSE_FORMAT;
      return 0;
    }
  }

  free(m_ResponseHead);
  m_ResponseHead = static_cast<char*>(malloc(static_cast<size_t>(headLength) + 1));
  if (!m_ResponseHead) {
    m_ErrorCode = HTTP_ERR_BODY_TOO_LARGE;
    return 0;
  }
  unsigned int taken = 0;
  m_RawStream.Read(m_ResponseHead, static_cast<unsigned int>(headLength), &taken);
  m_ResponseHead[headLength] = 0;

  // Head handling: the head callback sees the head even when it is refused.
  const int parsed = ParseHeaders();
  if (m_HeadCallback) m_HeadCallback(this, m_ResponseHead, m_CallbackParam);
  if (!parsed) return 0;

  if (m_Method == HTTP_METHOD_HEAD) {
    // No body; anything after the head belongs to no response of ours.
    m_ResponseClean = m_RawStream.m_Length == 0 ? 1 : 0;
    return 1;
  }

  if (m_OutputFile && !PrepareDownloadBody(*this)) return 0;

  // Bytes beyond the announced length are no body: they are neither kept nor
  // written, and they make the connection unfit for another request.
  int surplus = 0;
  if (!m_Chunked && static_cast<uint64_t>(m_RawStream.m_Length) >
                        static_cast<uint64_t>(m_ContentLength)) {
    CutStream(m_RawStream, static_cast<unsigned int>(m_ContentLength));
    surplus = 1;
  }

  // Body bytes that came with the head.
  const unsigned int first = m_RawStream.m_Length;
  uint64_t written = 0;
  if (first != 0) {
    if (m_OutputFile) {
      if (!FileWrite(m_OutputFile, m_RawStream.m_Data, first, NULL)) {
        m_ErrorCode = HTTP_ERR_FILE_OPERATION;
        return 0;
      }
      written = first;
      if (m_ProgressCallback)
        m_ProgressCallback(this, static_cast<uint64_t>(m_ContentLength), written, m_CallbackParam);
    }
    if (m_DataCallback)
      m_DataCallback(this, m_RawStream.m_Data, static_cast<int>(first), m_CallbackParam);
  }

  int pendingSize = -1;
  if (m_Chunked) {
    const int decoded = DecodeChunks(&pendingSize);
    if (decoded < 0) return 0;
    if (decoded == 1) {
      m_ResponseClean = ChunkedBodyEndedExactly(m_RawStream);
      return 1;
    }
  } else if (m_ContentLength <= static_cast<int64_t>(first)) {
    m_ResponseClean = surplus ? 0 : 1;
    return 1;
  }

  // Body loop: one block per receive.
  for (;;) {
    if (!Receive(buffer, &received)) return 0;
    unsigned int length = static_cast<unsigned int>(received);
    if (!m_Chunked) {
      const uint64_t have = m_OutputFile ? written : m_RawStream.m_Length;
      const uint64_t remaining = static_cast<uint64_t>(m_ContentLength) - have;
      if (length > remaining) {
        length = static_cast<unsigned int>(remaining);
        surplus = 1;
      }
    }

    if (m_DataCallback) m_DataCallback(this, buffer, static_cast<int>(length), m_CallbackParam);

    if (m_OutputFile) {
      if (!FileWrite(m_OutputFile, buffer, length, NULL)) {
        m_ErrorCode = HTTP_ERR_FILE_OPERATION;
        return 0;
      }
      written += length;
      if (m_ProgressCallback)
        m_ProgressCallback(this, static_cast<uint64_t>(m_ContentLength), written, m_CallbackParam);
      if (!m_Chunked) {
        // A compressed body is also kept whole for the decoding afterwards.
        if (m_Compressed && !AppendChecked(m_RawStream, buffer, length)) {
          m_ErrorCode = HTTP_ERR_BODY_TOO_LARGE;
          return 0;
        }
        if (written >= static_cast<uint64_t>(m_ContentLength)) {
          m_ResponseClean = surplus ? 0 : 1;
          return 1;
        }
        continue;
      }
    } else {
      if (!AppendChecked(m_RawStream, buffer, length)) {
        m_ErrorCode = HTTP_ERR_BODY_TOO_LARGE;
        return 0;
      }
      if (!m_Chunked) {
        if (static_cast<int64_t>(m_RawStream.m_Length) >= m_ContentLength) {
          m_ResponseClean = surplus ? 0 : 1;
          return 1;
        }
        continue;
      }
    }

    // Chunked, in either mode: the framed bytes wait in m_RawStream.
    if (m_OutputFile && !AppendChecked(m_RawStream, buffer, length)) {
      m_ErrorCode = HTTP_ERR_BODY_TOO_LARGE;
      return 0;
    }
    const int decoded = DecodeChunks(&pendingSize);
    if (decoded < 0) return 0;
    if (decoded == 1) {
      m_ResponseClean = ChunkedBodyEndedExactly(m_RawStream);
      return 1;
    }
  }
}
