// Fetching a URL into a file: the request on the one road, the file in the
// hands of m_Target (DownloadTarget.h) from open to commit. A file that
// already holds data is resumed with a Range request.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "engine/ContentRange.h"
#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"

int CHttpClient::Download(const char* url, const char* filePath, std::string& response,
                          const char* body, int bodyLen, int keepOrigin) {
  Reset();
  if (!filePath || !m_Target.Open(filePath)) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  if (m_Target.ResumeFrom() > 0) {
    char value[48];
    snprintf(value, sizeof(value), "bytes=%" PRIu64 "-", m_Target.ResumeFrom());
    // A Range already among the request headers stays and is sent instead.
    AddHeader("Range", value);
  }
  m_KeepOrigin = keepOrigin;

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

int CHttpClient::PrepareDownloadBody(int continues) {
  // Without a length the body would end only with the connection, which is
  // never waited for: the download would look complete and hold nothing.
  // Answers that carry no body stand as they are.
  if (!m_LengthKnown && m_StatusCode != 204 && m_StatusCode != 205) {
    m_ErrorCode = HTTP_ERR_NO_BODY_LENGTH;
    return 0;
  }
  const uint64_t resumeFrom = m_Target.ResumeFrom();
  // A new file (or a sink), and a file that was there that an answer
  // without content leaves as it is, take the body where they end. A file
  // that was there, empty or not, is the user's: only a part continues it,
  // and a whole body goes beside it.
  if (!m_Target.HoldsEarlierFile() || m_StatusCode == 204 || m_StatusCode == 205)
    return m_Target.ContinueFile();
  if (continues) {
    // A part continues the file only where the file ends; a part without a
    // readable start, or with lines that disagree on it, could be from
    // anywhere and would corrupt it.
    std::string range;
    uint64_t first = 0;
    if (SingleValue(m_Head, "Content-Range", &range) != 1 ||
        !ParseContentRangeStart(range, &first) || first != resumeFrom) {
      m_ErrorCode = HTTP_ERR_RESPONSE_FORMAT;
      return 0;
    }
    return m_Target.ContinueFile();
  }
  // Any other 2xx answers with the whole resource. It replaces the file only
  // once it is complete; until then the old bytes stay as they are.
  if (m_Target.ReplaceFile()) return 1;
  m_ErrorCode = HTTP_ERR_FILE_OPERATION;
  return 0;
}
