// Where the bytes of a response body go: chosen once when the head is in,
// then every received byte and every byte of the body itself passes here.
#include <cstring>

#include "engine/HttpClient.h"

int CHttpClient::ChooseBodyRoute() {
  m_BodyRoute = BODY_TO_MEMORY;
  m_BodyCodings.clear();
  if (!m_Target || !IsSuccess()) {
    // The body of any other status is no download: it goes to memory, and
    // the file is put back as it was.
    m_Target.Abandon();
    if (m_ContentLength <= kMemoryBodyLimit) return 1;
    m_ErrorCode = HTTP_ERR_BODY_TOO_LARGE;
    return 0;
  }
  // A 2xx body to a download goes to its file.
  const int continues = m_Target.ResumeFrom() > 0 && m_StatusCode == 206;
  if (!PrepareDownloadBody(continues)) return 0;
  if (m_KeepOrigin) {
    // Every byte as it came: there is nothing to decode.
    m_BodyRoute = BODY_TO_FILE_AS_RECEIVED;
    return 1;
  }
  m_BodyRoute = BODY_TO_FILE;
  // A part behind a resumed file's old bytes does not decode alone, and
  // decoding it would lose them; a coding the table lacks keeps the body as
  // it came. Either way the decoder is never asked.
  if (!m_BodyDecoder || continues ||
      !ReadContentCodings(GetContentEncoding(), m_BodyCodings) || m_BodyCodings.empty() ||
      !m_BodyDecoder->Begin(m_BodyCodings)) {
    m_BodyCodings.clear();
    return 1;
  }
  // A sink cannot be taken back: its body goes as it came to a scratch
  // file, and is decoded into the sink once the whole of it is in.
  if (m_Target.IsSink()) {
    if (m_Target.CollectForSink()) return 1;
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  m_BodyRoute = BODY_TO_DECODED_FILE;
  return 1;
}

int CHttpClient::PassReceived(const char* data, unsigned int length, uint64_t done) {
  if (m_BodyRoute == BODY_TO_MEMORY) return 1;
  if (m_BodyRoute == BODY_TO_FILE_AS_RECEIVED && !WriteOutput(data, length)) return 0;
  ReportProgress(done);
  return 1;
}

int CHttpClient::StoreBody(const char* data, unsigned int length) {
  switch (m_BodyRoute) {
    case BODY_TO_MEMORY:
      // A body by length collects where its first bytes came with the head.
      return KeepInMemory(m_Chunked ? m_DechunkedStream : m_RawStream, data, length);
    case BODY_TO_FILE_AS_RECEIVED:
      return 1;
    case BODY_TO_FILE:
      return WriteOutput(data, length);
    case BODY_TO_DECODED_FILE:
      break;
  }
  if (m_BodyDecoder->Decode(data, length, WriteDecoded, this)) return 1;
  if (m_ErrorCode == HTTP_ERR_NONE) m_ErrorCode = HTTP_ERR_FILE_OPERATION;
  return 0;
}

int CHttpClient::EndBody(int read) {
  int ok = read;
  // The decoder's verdict counts only for a body that arrived whole; one
  // cut off failed for that reason.
  if (ok && m_BodyRoute == BODY_TO_DECODED_FILE && !m_BodyDecoder->End()) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    ok = 0;
  }
  // Gathered bytes reach the file on every way out, failures included, so
  // the download finds the file as if every piece had been written at once.
  if (m_Target && !m_Target.Flush() && ok) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    ok = 0;
  }
  return ok;
}

int CHttpClient::WriteOutput(const char* data, size_t length) {
  if (m_Target.Write(data, length)) return 1;
  m_ErrorCode = HTTP_ERR_FILE_OPERATION;
  return 0;
}

int CHttpClient::WriteDecoded(void* client, const char* data, size_t length) {
  return static_cast<CHttpClient*>(client)->WriteOutput(data, length);
}

int CHttpClient::KeepInMemory(CMemStream& stream, const char* data, unsigned int size) {
  if (size == 0) return 1;
  unsigned int written = 0;
  if (static_cast<uint64_t>(stream.m_Length) + size > kMemoryBodyLimit ||
      !stream.Write(data, size, &written) || written != size) {
    m_ErrorCode = HTTP_ERR_BODY_TOO_LARGE;
    return 0;
  }
  return 1;
}
