// Sending one local file as the single part of a multipart/form-data POST,
// on the one road of every request.
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

// The part head that names the file, the file's bytes and the closing
// boundary line. Its length is announced in a Content-Length request header
// from the file's size, so the head carries no line of its own. Sent once:
// an upload is a POST, never sent twice.
class CUploadBody : public CRequestBody {
 public:
  explicit CUploadBody(const char* filePath) : m_FilePath(filePath), m_Size(0) {}

  // Opens the file and sizes it (HTTP_ERR_FILE_OPERATION when it cannot be
  // opened or sized: a size that cannot be read would announce a wrong
  // length), then the body's Content-Type and Content-Length are its head
  // lines.
  int Prepare(CBodyContext& context) override {
    m_File.reset(m_FilePath ? FileOpen(m_FilePath, FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS)
                            : nullptr);
    if (!m_File.get() || !FileGetSize(m_File.get(), &m_Size)) {
      m_File.reset();
      context.Fail(HTTP_ERR_FILE_OPERATION);
      return 0;
    }
    const std::string boundary = MakeMimeBoundary();
    m_PartHead = BuildFilePartHeader(UploadBaseName(m_FilePath).c_str(), boundary.c_str());
    m_Trailer = "\r\n--" + boundary + "--";
    const uint64_t bodyLength = static_cast<uint64_t>(m_PartHead.size()) + m_Size + m_Trailer.size();
    char lengthText[32];
    snprintf(lengthText, sizeof(lengthText), "%" PRIu64, bodyLength);
    // Quoted: the boundary holds "=", which a MIME parameter value may carry
    // only inside a quoted string; strict form readers find no boundary else.
    context.AddHeader("Content-Type", "multipart/form-data; boundary=\"" + boundary + "\"");
    context.AddHeader("Content-Length", lengthText);
    return 1;
  }

  int HeadLength() const override { return -1; }

  // The file is closed once its bytes are out, before the answer is read.
  int Send(CBodyContext& context) override {
    const int sent = context.Send(m_PartHead.data(), static_cast<int>(m_PartHead.size())) &&
                     SendFileBlocks(context) &&
                     context.Send(m_Trailer.data(), static_cast<int>(m_Trailer.size()));
    m_File.Close();
    return sent;
  }

 private:
  // The file's m_Size bytes, a block at a time, with progress after each.
  int SendFileBlocks(CBodyContext& context) {
    char block[kUploadBlock];
    uint64_t done = 0;
    while (done < m_Size) {
      // Never more than is still due: a file that grows meanwhile must not
      // send past the announced length.
      const uint64_t due = m_Size - done;
      const uint32_t want = due < kUploadBlock ? static_cast<uint32_t>(due) : kUploadBlock;
      uint32_t got = 0;
      if (!m_File.get() || !FileRead(m_File.get(), block, want, &got) || got == 0) {
        // A read error, or the file shrank under us.
        context.Fail(HTTP_ERR_FILE_OPERATION);
        return 0;
      }
      if (!context.Send(block, static_cast<int>(got))) return 0;
      done += got;
      context.Progress(m_Size, done);
    }
    return 1;
  }

  const char* m_FilePath;
  CFileOwner m_File;
  uint64_t m_Size;
  std::string m_PartHead;
  std::string m_Trailer;
};

}  // namespace

int CHttpClient::Upload(const char* url, const char* filePath, std::string& response) {
  Reset();
  m_Method = HTTP_METHOD_POST;
  CUploadBody body(filePath);
  return EndExchange(SendRequest(url, m_Method, body), &response);
}
