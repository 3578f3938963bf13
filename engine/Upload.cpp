// Sending one local file as the single part of a multipart/form-data POST.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/HttpClient.h"
#include "engine/Multipart.h"
#include "engine/Url.h"
#include "platform/FileOwner.h"
#include "platform/FileSystem.h"

namespace {

// The file is read, sent and reported in blocks of this size.
const uint32_t kUploadBlock = 8192;

// The text after the last "\"; without one, after the last "/"; else all of it.
std::string UploadBaseName(const char* path) {
  const char* back = strrchr(path, '\\');
  if (back) return back + 1;
  const char* slash = strrchr(path, '/');
  if (slash) return slash + 1;
  return path;
}

}  // namespace

int CHttpClient::Upload(const char* url, const char* filePath, std::string& response) {
  Reset();
  m_Method = HTTP_METHOD_POST;
  // Without its stream blocks the client has nowhere to put the answer.
  if (!m_StreamsReady) {
    m_ErrorCode = HTTP_ERR_NETWORK;
    return 0;
  }

  std::string scheme;
  if (!url || !ParseUrl(url, scheme, &m_Host, &m_Path, &m_Port, &m_UseTls)) {
    m_ErrorCode = HTTP_ERR_URL_FORMAT;
    return 0;
  }

  CFileOwner file(filePath ? FileOpen(filePath, FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS)
                           : nullptr);
  if (!file.get()) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  // The size becomes the announced length: a size that cannot be read would
  // announce a wrong one.
  uint64_t fileSize = 0;
  if (!FileGetSize(file.get(), &fileSize)) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }

  const std::string baseName = UploadBaseName(filePath);
  const std::string boundary = MakeMimeBoundary();
  const std::string partHead = BuildFilePartHeader(baseName.c_str(), boundary.c_str());
  const std::string trailer = "\r\n--" + boundary + "--";
  const uint64_t bodyLength = static_cast<uint64_t>(partHead.size()) + fileSize + trailer.size();

  char lengthText[32];
  snprintf(lengthText, sizeof(lengthText), "%" PRIu64, bodyLength);
  AddHeader("Content-Type", "multipart/form-data; boundary=" + boundary);
  AddHeader("Content-Length", lengthText);

  // The Content-Length request header stands in for the head's own line.
  std::string head;
  BuildRequestHead(head, m_Method, -1);

  if (!Connect()) {
    Close();
    return 0;
  }

  int sent = Send(head.data(), static_cast<int>(head.size())) &&
             Send(partHead.data(), static_cast<int>(partHead.size()));
  if (sent && fileSize > 0) {
    char block[kUploadBlock];
    uint64_t due = fileSize;
    uint64_t done = 0;
    while (due > 0) {
      // Never more than is still due: a file that grows meanwhile must not
      // send past the announced length.
      const uint32_t want = due < kUploadBlock ? static_cast<uint32_t>(due) : kUploadBlock;
      uint32_t got = 0;
      if (!FileRead(file.get(), block, want, &got) || got == 0) {
        // A read error, or the file shrank under us.
        m_ErrorCode = HTTP_ERR_FILE_OPERATION;
        sent = 0;
        break;
      }
      if (!Send(block, static_cast<int>(got))) {
        sent = 0;
        break;
      }
      done += got;
      if (m_ProgressCallback) m_ProgressCallback(this, fileSize, done, m_CallbackParam);
      due -= got;
    }
  }
  if (sent) sent = Send(trailer.data(), static_cast<int>(trailer.size()));
  file.Close();
  if (!sent) {
    Close();
    return 0;
  }

  if (!ReadResponse()) {
    // What is left of the answer on the connection is unknown.
    Close();
    return 0;
  }

  CopyBodyText(response);
  FinishResponse();
  return 1;
}
