#include <cstring>

#include "engine/HttpClient.h"

namespace {
const unsigned int kStreamBlock = 65536;
}  // namespace

CHttpClient::CHttpClient()
    : m_SendTimeout(60000),
      m_RecvTimeout(60000),
      m_BodyDecoder(NULL),
      m_EarlierFile(nullptr),
      m_HeadCallback(NULL),
      m_DataCallback(NULL),
      m_ProgressCallback(NULL),
      m_CallbackParam(NULL),
      m_StreamsReady(0) {
  const int rawReady = m_RawStream.Alloc(kStreamBlock);
  const int dechunkedReady = m_DechunkedStream.Alloc(kStreamBlock);
  // Without both blocks no request may run (the operations check this).
  m_StreamsReady = (rawReady && dechunkedReady) ? 1 : 0;
}

void CHttpClient::Reset() {
  static_cast<CRequestState&>(*this) = CRequestState();
  m_RawStream.Clear();
  m_DechunkedStream.Clear();
  m_Target.Abandon();
}

void CHttpClient::Close() { m_Connection.Close(); }

int CHttpClient::Connect() {
  const CConnectionTarget target{m_Host, m_Port, m_UseTls, m_SendTimeout, m_RecvTimeout};
  return m_Connection.Connect(target, &m_ErrorCode);
}

int CHttpClient::Send(const char* data, int length) {
  return m_Connection.Send(data, length, &m_ErrorCode);
}

int CHttpClient::Receive(char* buffer, int* received) {
  return m_Connection.Receive(buffer, received, &m_ErrorCode);
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

void CHttpClient::AddHeader(const std::string& name, const std::string& value) {
  // An existing key keeps its first value.
  m_RequestHeaders.insert(HeaderMap::value_type(name, value));
}

const char* CHttpClient::GetBody(unsigned int* length) const {
  const CMemStream& stream = m_Chunked ? m_DechunkedStream : m_RawStream;
  if (length) *length = stream.m_Data ? stream.m_Length : 0;
  // The data is zero-terminated only when it does not fill the block: read
  // it by its length. A client without stream blocks hands out an empty text.
  return stream.m_Data ? stream.m_Data : "";
}

void CHttpClient::CopyBodyText(std::string& text) const {
  unsigned int length = 0;
  const char* data = GetBody(&length);
  // A body that fills its block exactly has no zero after it.
  text.assign(data, strnlen(data, length));
}

int CHttpClient::IsSuccess() const {
  const unsigned int status = static_cast<unsigned int>(m_StatusCode);
  return (status >= 200 && status < 300) ? 1 : 0;
}

std::string CHttpClient::GetHost() const { return m_Host; }

std::string CHttpClient::GetContentEncoding() const { return m_ContentEncoding; }
