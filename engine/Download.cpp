// A request whose body goes straight into a file, resuming a file that
// already holds data with a Range request.
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "engine/ContentRange.h"
#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"
#include "platform/FileOwner.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"

namespace {

// Names tried next to the output file, by suffix number.
const int kSideFileTries = 10;
// The side file that receives a whole new body, and the name the old file
// stands under while the new one takes its place.
const char kSideSuffix[] = "_zelvor.part";
const char kAsideSuffix[] = "_zelvor.old";

// A body is read back from its scratch file in blocks this large.
const uint32_t kCopyBlock = 262144;

int DropDecoded(void*, const char*, size_t) { return 1; }

// A name next to path, path + stem with a number from the second try on,
// that nothing uses yet; empty when none is free.
std::string UnusedSidePath(const std::string& path, const char* stem) {
  for (int i = 0; i < kSideFileTries; ++i) {
    char suffix[32];
    snprintf(suffix, sizeof(suffix), i == 0 ? "%s" : "%s%d", stem, i);
    std::string candidate = path + suffix;
    if (PathGetKind(candidate.c_str()) == PATH_MISSING) return candidate;
  }
  return std::string();
}

}  // namespace

int CHttpClient::PrepareDownloadBody() {
  // Without a length the body would end only with the connection, which is
  // never waited for: the download would look complete and hold nothing.
  // Answers that carry no body stand as they are.
  if (!m_LengthKnown && m_StatusCode != 204 && m_StatusCode != 205) {
    m_ErrorCode = HTTP_ERR_NO_BODY_LENGTH;
    return 0;
  }
  if (m_Download.m_ResumeFrom > 0) return PrepareResumedFile();
  return 1;
}

int CHttpClient::ContinuesResumedFile() const {
  return m_Download.m_ResumeFrom > 0 && m_StatusCode == 206;
}

int CHttpClient::PrepareResumedFile() {
  DownloadState& state = m_Download;
  if (ContinuesResumedFile()) {
    // A part continues the file only where the file ends; a part without a
    // readable start, or with lines that disagree on it, could be from
    // anywhere and would corrupt it.
    std::string range;
    uint64_t first = 0;
    if (SingleValue(m_Head, "Content-Range", &range) != 1 ||
        !ParseContentRangeStart(range, &first) || first != state.m_ResumeFrom) {
      m_ErrorCode = HTTP_ERR_RESPONSE_FORMAT;
      return 0;
    }
    return 1;
  }
  // No content is no resource: the resumed file keeps what it holds.
  if (m_StatusCode == 204 || m_StatusCode == 205) return 1;

  // Any other 2xx answers with the whole resource. It replaces the file only
  // once it is complete; until then the old bytes stay as they are.
  const std::string side = UnusedSidePath(state.m_OutputPath, kSideSuffix);
  if (!side.empty()) InterruptSetFileUnderWay(side.c_str());
  CFileOwner sideFile(
      side.empty() ? nullptr : FileOpen(side.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE));
  if (!sideFile.get()) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  state.m_SidePath = side;
  state.m_HeldFile.reset(m_OutputFile.Release());
  m_OutputFile.Adopt(sideFile.release());
  return 1;
}

int CHttpClient::CollectForSink() {
  FileHandle scratch = FileOpenScratch();
  if (!scratch) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  m_Download.m_SinkFile.reset(m_OutputFile.Release());
  m_OutputFile.Adopt(scratch);
  return 1;
}

// Puts the output path back the way it was before the call: a file that
// held data keeps exactly its old bytes; a file without data is removed
// (never anything but a regular file, never a sink).
void CHttpClient::RestoreOutput() {
  DownloadState& state = m_Download;
  if (state.m_HeldFile.get()) {
    // The original was never written; only the side file goes.
    m_OutputFile.Drop();
    FileDelete(state.m_SidePath.c_str());
    state.m_HeldFile.Close();
    return;
  }
  if (state.m_Sink) {
    // A scratch file in its place vanishes as it closes.
    m_OutputFile.Drop();
    state.m_SinkFile.Close();
    return;
  }
  if (m_OutputFile && state.m_ResumeFrom > 0) FileTruncate(m_OutputFile.Get(), state.m_ResumeFrom);
  m_OutputFile.Drop();
  if (state.m_ResumeFrom == 0) FileDelete(state.m_OutputPath.c_str());
}

// Opens the output and decides how it is written. 1, or 0 with
// HTTP_ERR_FILE_OPERATION (nothing touched, m_OutputFile empty).
int CHttpClient::OpenOutput(const char* filePath) {
  DownloadState& state = m_Download;
  state.m_Sink = PathIsLink(filePath);
  const int existed = PathGetKind(filePath) != PATH_MISSING;
  // A file this call creates goes with a second interrupt: a half-written
  // one would later pass for a whole one. Named before it exists, so that no
  // moment is left in which it could stay.
  if (!existed && !state.m_Sink) InterruptSetFileUnderWay(filePath);
  m_OutputFile.Adopt(FileOpen(filePath, existed ? FILE_OPEN_WRITE_EXISTING : FILE_CREATE_ALWAYS,
                              FILE_SHARE_EXCLUSIVE));
  if (!m_OutputFile) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  if (!FileIsRegular(m_OutputFile.Get())) {
    state.m_Sink = 1;
    InterruptSetFileUnderWay(nullptr);
  }
  state.m_OutputPath = filePath;

  if (state.m_Sink) {
    // Behind a link the sink may already hold what was printed before it:
    // the body goes after that. A device that cannot seek is written as is.
    FileSeek(m_OutputFile.Get(), 0, FILE_SEEK_END, nullptr);
    return 1;
  }
  // Only a regular file that holds data is resumed.
  uint64_t oldSize = 0;
  uint64_t position = 0;
  if (existed &&
      (!FileGetSize(m_OutputFile.Get(), &oldSize) ||
       (oldSize > 0 && (!FileSeek(m_OutputFile.Get(), 0, FILE_SEEK_END, &position) ||
                        position != oldSize)))) {
    m_OutputFile.Drop();
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  if (oldSize > 0) {
    char value[48];
    snprintf(value, sizeof(value), "bytes=%" PRIu64 "-", oldSize);
    // A Range already among the request headers stays and is sent instead.
    AddHeader("Range", value);
  }
  state.m_ResumeFrom = oldSize;
  return 1;
}

namespace {

// Clears the state of one download on every way out of it, and with it the
// file a second interrupt would remove.
template <typename State>
struct CStateReset {
  State& m_State;
  ~CStateReset() {
    m_State = State();
    InterruptSetFileUnderWay(nullptr);
  }
};

}  // namespace

int CHttpClient::Download(const char* url, const char* filePath, std::string& response,
                          const char* body, int bodyLen, int keepOrigin) {
  Reset();
  // The state lives for this call only: every way out clears it, so each
  // call starts from a clear one.
  CStateReset<DownloadState> resetAtEnd{m_Download};
  if (!m_StreamsReady) {
    m_ErrorCode = HTTP_ERR_NETWORK;
    return 0;
  }
  if (!filePath) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  if (!OpenOutput(filePath)) return 0;
  m_Download.m_KeepOrigin = keepOrigin;

  const HttpMethod method = (body && bodyLen > 0) ? HTTP_METHOD_POST : HTTP_METHOD_GET;
  m_Method = method;
  const int read = SendRequest(url, method, body, bodyLen);
  // Only a 2xx body is in the file; any other went to memory, and no byte of
  // it reached the file.
  const int toFile = read && IsSuccess();
  if (!toFile) RestoreOutput();
  const int fileDone = !toFile || FinishDownloadFile();
  if (!fileDone) m_ErrorCode = HTTP_ERR_FILE_OPERATION;
  return EndExchange(read && fileDone, toFile ? nullptr : &response);
}

// After a 2xx body: a side file is swapped into place, a scratch file's
// decoded body goes to its sink. 1 when the output holds the body, else 0
// with the output put back.
int CHttpClient::FinishDownloadFile() {
  DownloadState& state = m_Download;
  // The body is whole: from here on the file is not one to remove.
  InterruptSetFileUnderWay(nullptr);
  if (state.m_SinkFile.get()) return DecodeScratchToSink();
  if (state.m_HeldFile.get()) return SwapSideFileIn();
  m_OutputFile.Close();
  return 1;
}

// The whole resource is in the side file: it takes the original's place.
int CHttpClient::SwapSideFileIn() {
  DownloadState& state = m_Download;
  const int closed = m_OutputFile.Close();
  state.m_HeldFile.Close();
  const std::string aside = UnusedSidePath(state.m_OutputPath, kAsideSuffix);
  if (closed && !aside.empty() &&
      FileReplace(state.m_OutputPath.c_str(), state.m_SidePath.c_str(), aside.c_str()))
    return 1;
  // The original stands as it was: the side file is not needed.
  FileDelete(state.m_SidePath.c_str());
  return 0;
}

// The whole body as it came is in the scratch file: it goes through the
// decoder once with its output dropped, and only when all of it decoded a
// second time into the sink. The scratch file vanishes as it closes, on
// every way out.
int CHttpClient::DecodeScratchToSink() {
  CFileOwner scratch(m_OutputFile.Release());
  // The sink becomes the output, so the decoded bytes take the download's
  // own way there.
  m_OutputFile.Adopt(m_Download.m_SinkFile.release());
  const int ok = scratch.get() && DecodeFileInto(scratch.get(), DropDecoded, nullptr) &&
                 DecodeFileInto(scratch.get(), WriteDecoded, this);
  m_OutputFile.Close();
  return ok;
}

int CHttpClient::DecodeFileInto(FileHandle file, BodyWriter write, void* param) {
  std::unique_ptr<char[]> block(new (std::nothrow) char[kCopyBlock]);
  if (!block || !FileSeek(file, 0, FILE_SEEK_BEGIN, nullptr) || !m_BodyDecoder->Begin(*this))
    return 0;
  for (;;) {
    // An interrupt ends this as it ends a transfer: the sink gets no more.
    if (InterruptRequested()) return 0;
    uint32_t got = 0;
    if (!FileRead(file, block.get(), kCopyBlock, &got)) return 0;
    if (got == 0) return m_BodyDecoder->End();
    if (!m_BodyDecoder->Decode(block.get(), got, write, param)) return 0;
  }
}
