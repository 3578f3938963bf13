// Sending one local file as the single part of a multipart/form-data POST.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "engine/HttpClient.h"
#include "engine/Multipart.h"
#include "engine/PathSegment.h"
#include "platform/FileOwner.h"
#include "platform/FileSystem.h"

namespace {

// The file is read, sent and reported in blocks of this size.
const uint32_t kUploadBlock = 8192;

// The text after the last "\"; without one, after the last "/"; else all of
// it. A "\" outranks every "/", also one that comes after it.
std::string UploadBaseName(const char* path) {
  const std::string text = path;
  return LastSegment(text, text.find('\\') != std::string::npos ? "\\" : "/");
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
  if (!SplitRequestUrl(url)) return 0;
  CFileOwner file;
  uint64_t fileSize = 0;
  if (!OpenUploadFile(filePath, file, &fileSize)) return 0;
  std::string partHead, trailer;
  BuildUploadParts(filePath, fileSize, partHead, trailer);

  // The Content-Length request header stands in for the head's own line.
  const int sent = SendHead(m_Method, -1) &&
                   Send(partHead.data(), static_cast<int>(partHead.size())) &&
                   SendFileBlocks(file.get(), fileSize) &&
                   Send(trailer.data(), static_cast<int>(trailer.size()));
  file.Close();
  return EndExchange(sent && ReadResponse(), &response);
}

int CHttpClient::OpenUploadFile(const char* filePath, CFileOwner& file, uint64_t* size) {
  file.reset(filePath ? FileOpen(filePath, FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS) : nullptr);
  // The size becomes the announced length: a size that cannot be read would
  // announce a wrong one.
  if (!file.get() || !FileGetSize(file.get(), size)) {
    file.reset();
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  return 1;
}

void CHttpClient::BuildUploadParts(const char* filePath, uint64_t size, std::string& partHead,
                                   std::string& trailer) {
  const std::string baseName = UploadBaseName(filePath);
  const std::string boundary = MakeMimeBoundary();
  partHead = BuildFilePartHeader(baseName.c_str(), boundary.c_str());
  trailer = "\r\n--" + boundary + "--";
  const uint64_t bodyLength = static_cast<uint64_t>(partHead.size()) + size + trailer.size();

  char lengthText[32];
  snprintf(lengthText, sizeof(lengthText), "%" PRIu64, bodyLength);
  // Quoted: the boundary holds "=", which a MIME parameter value may carry
  // only inside a quoted string; strict form readers find no boundary else.
  AddHeader("Content-Type", "multipart/form-data; boundary=\"" + boundary + "\"");
  AddHeader("Content-Length", lengthText);
}

int CHttpClient::SendFileBlocks(FileHandle file, uint64_t size) {
  char block[kUploadBlock];
  uint64_t done = 0;
  while (done < size) {
    // Never more than is still due: a file that grows meanwhile must not
    // send past the announced length.
    const uint64_t due = size - done;
    const uint32_t want = due < kUploadBlock ? static_cast<uint32_t>(due) : kUploadBlock;
    uint32_t got = 0;
    if (!FileRead(file, block, want, &got) || got == 0) {
      // A read error, or the file shrank under us.
      m_ErrorCode = HTTP_ERR_FILE_OPERATION;
      return 0;
    }
    if (!Send(block, static_cast<int>(got))) return 0;
    done += got;
    if (m_ProgressCallback) m_ProgressCallback(this, size, done, m_CallbackParam);
  }
  return 1;
}
