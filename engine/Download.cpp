// Fetching a URL into a file: the request on the one road, the file in the
// hands of m_Target (DownloadTarget.h) from open to commit. A file that
// already holds data is resumed with a Range request.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"

int CHttpClient::Download(const char* url, const char* filePath, std::string& response,
                          const char* body, int bodyLen, int keepOrigin) {
  Reset();
  if (!filePath || !m_Target.Open(filePath)) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  // What the reader needs of the download, handed over before the exchange.
  m_Download.m_Target = &m_Target;
  m_Download.m_KeepOrigin = keepOrigin;
  std::string callerRange;
  m_Download.m_CallerRange = GetHeaderValue("Range", callerRange, m_RequestHeaders);
  // For this request only; a Range among the client's own headers, in any
  // case, is sent instead, so that one request never asks for two.
  if (m_Target.ResumeFrom() > 0 && !m_Download.m_CallerRange) {
    char value[48];
    snprintf(value, sizeof(value), "bytes=%" PRIu64 "-", m_Target.ResumeFrom());
    m_RequestOnlyHeaders.insert(HeaderMap::value_type("Range", value));
  }

  const HttpMethod method = (body && bodyLen > 0) ? HTTP_METHOD_POST : HTTP_METHOD_GET;
  m_Method = method;
  const int read = SendRequest(url, method, body, bodyLen);
  // Only a 2xx body is in the file; any other went to memory, and no byte of
  // it reached the file. Every way but a commit puts the file back.
  const int toFile = read && IsSuccess();
  int fileDone = 1;
  if (toFile) {
    fileDone = m_Target.Commit(m_BodyDecoder, m_BodyCodings, m_EarlierFile);
  } else {
    m_Target.Abandon();
  }
  if (!fileDone) m_ErrorCode = HTTP_ERR_FILE_OPERATION;
  return EndExchange(read && fileDone, toFile ? nullptr : &response);
}

