// A request whose body goes straight into a file, resuming a file that
// already holds data with a Range request.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "engine/DownloadBody.h"
#include "engine/HttpClient.h"
#include "engine/ResponseHead.h"
#include "platform/FileOwner.h"
#include "platform/FileSystem.h"

namespace {

// Names tried next to the output file, by suffix number.
const int kSideFileTries = 10;
// The side file that receives a whole new body, and the name the old file
// stands under while the new one takes its place.
const char kSideSuffix[] = "_zelvor.part";
const char kAsideSuffix[] = "_zelvor.old";

void CloseFile(FileHandle& file) {
  if (file) FileClose(file);
  file = nullptr;
}

// A name next to path, path + stem with a number from the second try on,
// that nothing uses yet; empty when none is free.
std::string FreeSidePath(const std::string& path, const char* stem) {
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
  DownloadState& state = m_Download;
  if (state.m_Sink && !state.m_KeepOrigin && IsSuccess()) {
    // A sink cannot be rewritten: it gets the bytes a file would end up with.
    if (m_Compressed)
      state.m_Target = BODY_HELD;
    else if (m_Chunked)
      state.m_Target = BODY_DECHUNKED;
  }
  if (state.m_ResumeFrom == 0 || !IsSuccess()) return 1;

  if (m_StatusCode == 206) {
    // A part continues the file only where the file ends; a part without a
    // readable start could be from anywhere and would corrupt it.
    std::string range;
    uint64_t first = 0;
    if (!GetHeaderValue("Content-Range", range, m_ResponseHeaders) ||
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
  const std::string side = FreeSidePath(state.m_OutputPath, kSideSuffix);
  CFileOwner sideFile(
      side.empty() ? nullptr : FileOpen(side.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE));
  if (!sideFile.get()) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  state.m_SidePath = side;
  state.m_HeldFile.reset(m_OutputFile);
  m_OutputFile = sideFile.release();
  return 1;
}

// Puts the output path back the way it was before the call: a file that
// held data keeps exactly its old bytes; a file without data is removed
// (never anything but a regular file, never a sink).
void CHttpClient::RestoreOutput() {
  DownloadState& state = m_Download;
  if (state.m_HeldFile.get()) {
    // The original was never written; only the side file goes.
    CloseFile(m_OutputFile);
    FileDelete(state.m_SidePath.c_str());
    state.m_HeldFile.Close();
    return;
  }
  if (state.m_Sink) {
    CloseFile(m_OutputFile);
    return;
  }
  if (m_OutputFile && state.m_ResumeFrom > 0) FileTruncate(m_OutputFile, state.m_ResumeFrom);
  CloseFile(m_OutputFile);
  if (state.m_ResumeFrom == 0) FileDelete(state.m_OutputPath.c_str());
}

// Opens the output and decides how it is written. 1, or 0 with
// HTTP_ERR_FILE_OPERATION (nothing touched, m_OutputFile NULL).
int CHttpClient::OpenOutput(const char* filePath) {
  DownloadState& state = m_Download;
  state.m_Sink = PathIsLink(filePath);
  const int existed = PathGetKind(filePath) != PATH_MISSING;
  m_OutputFile = FileOpen(filePath, existed ? FILE_OPEN_WRITE_EXISTING : FILE_CREATE_ALWAYS,
                          FILE_SHARE_EXCLUSIVE);
  if (!m_OutputFile) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  const int regular = FileIsRegular(m_OutputFile);
  if (!regular) state.m_Sink = 1;
  // A pipe or a terminal sees each piece as it comes; files take large blocks.
  if (regular) StartGathering();
  state.m_OutputPath = filePath;

  if (state.m_Sink) {
    // Behind a link the sink may already hold what was printed before it:
    // the body goes after that. A device that cannot seek is written as is.
    FileSeek(m_OutputFile, 0, FILE_SEEK_END, nullptr);
    return 1;
  }
  // Only a regular file that holds data is resumed.
  uint64_t oldSize = 0;
  uint64_t position = 0;
  if (existed && (!FileGetSize(m_OutputFile, &oldSize) ||
                  (oldSize > 0 && (!FileSeek(m_OutputFile, 0, FILE_SEEK_END, &position) ||
                                   position != oldSize)))) {
    CloseFile(m_OutputFile);
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

int CHttpClient::Download(const char* url, const char* filePath, std::string& response,
                          const char* body, int bodyLen, int keepOrigin) {
  Reset();
  m_Download = DownloadState();
  if (!m_StreamsReady) {
    m_ErrorCode = HTTP_ERR_NETWORK;
    return 0;
  }
  if (!filePath) {
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  if (!OpenOutput(filePath)) {
    m_Download = DownloadState();
    return 0;
  }
  m_Download.m_KeepOrigin = keepOrigin;

  const HttpMethod method = (body && bodyLen > 0) ? HTTP_METHOD_POST : HTTP_METHOD_GET;
  m_Method = method;
  if (!SendRequest(url, method, body, bodyLen)) {
    RestoreOutput();
    m_Download = DownloadState();
    Close();
    return 0;
  }
  FinishResponse();

  if (!IsSuccess()) {
    // The head parser closed the file before any body byte reached it.
    RestoreOutput();
    m_Download = DownloadState();
    CopyBodyText(response);
    return 1;
  }

  const int ok = FinishDownloadFile();
  m_Download = DownloadState();
  if (!ok) {
    Close();
    m_ErrorCode = HTTP_ERR_FILE_OPERATION;
    return 0;
  }
  return 1;
}

// After a 2xx body: the chunked rewrite and the side file's swap into place.
// 1 when the output holds the body, else 0 with the output put back.
int CHttpClient::FinishDownloadFile() {
  DownloadState& state = m_Download;
  if (state.m_Sink) {
    // A held body stays open for the caller to write once it is decoded.
    if (state.m_Target != BODY_HELD) CloseFile(m_OutputFile);
    return 1;
  }
  int ok = 1;
  if (m_Chunked && !state.m_KeepOrigin && m_OutputFile) ok = RewriteDechunked();
  if (ok && state.m_HeldFile.get()) ok = SwapSideFileIn();
  CloseFile(m_OutputFile);
  return ok;
}

// The file holds the framed bytes behind what it kept; the decoded body goes
// there instead. A side file starts at its first byte.
int CHttpClient::RewriteDechunked() {
  DownloadState& state = m_Download;
  const uint64_t base = state.m_HeldFile.get() ? 0 : state.m_ResumeFrom;
  FileHandle file = m_OutputFile;
  m_OutputFile = nullptr;
  if (RewriteFileFrom(file, base, m_DechunkedStream.m_Data, m_DechunkedStream.m_Length)) return 1;
  // The file holds neither the old bytes alone nor the whole body.
  if (state.m_HeldFile.get()) {
    FileDelete(state.m_SidePath.c_str());
    state.m_HeldFile.Close();
  } else if (state.m_ResumeFrom > 0) {
    CFileOwner output(
        FileOpen(state.m_OutputPath.c_str(), FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE));
    if (output.get()) FileTruncate(output.get(), state.m_ResumeFrom);
  } else {
    FileDelete(state.m_OutputPath.c_str());
  }
  return 0;
}

// The whole resource is in the side file: it takes the original's place.
int CHttpClient::SwapSideFileIn() {
  DownloadState& state = m_Download;
  const int closed = m_OutputFile ? FileClose(m_OutputFile) : 1;
  m_OutputFile = nullptr;
  state.m_HeldFile.Close();
  const std::string aside = FreeSidePath(state.m_OutputPath, kAsideSuffix);
  if (closed && !aside.empty() &&
      FileReplace(state.m_OutputPath.c_str(), state.m_SidePath.c_str(), aside.c_str()))
    return 1;
  // The original stands as it was: the side file is not needed.
  FileDelete(state.m_SidePath.c_str());
  return 0;
}
