#include "engine/DownloadTarget.h"

#include <cstdio>
#include <memory>
#include <new>

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
    if (PathGetKind(candidate.c_str()) == PATH_MISSING && !PathIsLink(candidate.c_str()))
      return candidate;
  }
  return std::string();
}

}  // namespace

int CDownloadTarget::Open(const char* path) {
  Abandon();
  int sink = PathIsLink(path);
  const int existed = PathGetKind(path) != PATH_MISSING;
  // A file this download creates goes with a second interrupt: a
  // half-written one would later pass for a whole one. Named before it
  // exists, so that no moment is left in which it could stay.
  if (!existed && !sink) InterruptSetFileUnderWay(path);
  m_Output.Adopt(
      FileOpen(path, existed ? FILE_OPEN_WRITE_EXISTING : FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE));
  if (!m_Output) {
    InterruptSetFileUnderWay(nullptr);
    return 0;
  }
  if (!FileIsRegular(m_Output.Get())) {
    sink = 1;
    InterruptSetFileUnderWay(nullptr);
  }
  if (sink) {
    // Behind a link the sink may already hold what was printed before it:
    // the body goes after that. A device that cannot seek is written as is.
    FileSeek(m_Output.Get(), 0, FILE_SEEK_END, nullptr);
  } else if (existed) {
    // Only a regular file that holds data is resumed, from its very end.
    uint64_t size = 0;
    uint64_t position = 0;
    if (!FileGetSize(m_Output.Get(), &size) ||
        (size > 0 && (!FileSeek(m_Output.Get(), 0, FILE_SEEK_END, &position) || position != size))) {
      m_Output.Drop();
      return 0;
    }
    m_ResumeFrom = size;
  }
  m_Mode = TARGET_FILE;
  m_Path = path;
  m_Sink = sink;
  return 1;
}

void CDownloadTarget::Adopt(FileHandle file) {
  Abandon();
  m_Output.Adopt(file);
  if (m_Output) m_Mode = TARGET_FILE;
}

int CDownloadTarget::ReplaceFile() {
  if (m_Mode != TARGET_FILE || m_Sink || m_Path.empty()) return 0;
  const std::string side = UnusedSidePath(m_Path, kSideSuffix);
  if (side.empty()) return 0;
  InterruptSetFileUnderWay(side.c_str());
  CFileOwner sideFile(FileOpen(side.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE));
  if (!sideFile.get()) {
    InterruptSetFileUnderWay(nullptr);
    return 0;
  }
  m_SidePath = side;
  m_Held.reset(m_Output.Release());
  m_Output.Adopt(sideFile.release());
  m_Mode = TARGET_SIDE;
  return 1;
}

int CDownloadTarget::CollectForSink() {
  if (m_Mode != TARGET_FILE || !m_Sink) return 0;
  FileHandle scratch = FileOpenScratch();
  if (!scratch) return 0;
  m_Held.reset(m_Output.Release());
  m_Output.Adopt(scratch);
  m_Mode = TARGET_SCRATCH;
  return 1;
}

int CDownloadTarget::Commit(CBodyDecoder* decoder, const std::vector<ContentCoding>& codings,
                            int keepEarlier) {
  // The body is whole: from here on the file is not one to remove.
  InterruptSetFileUnderWay(nullptr);
  int ok = 1;
  switch (m_Mode) {
    case TARGET_NONE:
      return 0;
    case TARGET_FILE:
      m_Output.Close();
      break;
    case TARGET_SIDE:
      ok = SwapSideFileIn(keepEarlier);
      break;
    case TARGET_SCRATCH:
      ok = DecodeScratchToSink(decoder, codings);
      break;
  }
  Clear();
  return ok;
}

// The whole resource is in the side file: it takes the original's place.
int CDownloadTarget::SwapSideFileIn(int keepEarlier) {
  const int closed = m_Output.Close();
  m_Held.Close();
  const std::string aside = UnusedSidePath(m_Path, kAsideSuffix);
  const char* path = m_Path.c_str();
  if (closed && !aside.empty()) {
    if (!keepEarlier && FileReplace(path, m_SidePath.c_str(), aside.c_str())) return 1;
    // The earlier file moves aside and stays there; should the body not
    // take its name, it comes straight back.
    if (keepEarlier && FileMove(path, aside.c_str())) {
      if (FileMove(m_SidePath.c_str(), path)) {
        m_EarlierFile = aside;
        return 1;
      }
      FileMove(aside.c_str(), path);
    }
  }
  // The original stands as it was: the side file is not needed.
  FileDelete(m_SidePath.c_str());
  return 0;
}

// The whole body as it came is in the scratch file: it goes through the
// decoder once with its output dropped, and only when all of it decoded a
// second time into the sink. The scratch file vanishes as it closes, on
// every way out.
int CDownloadTarget::DecodeScratchToSink(CBodyDecoder* decoder,
                                         const std::vector<ContentCoding>& codings) {
  CFileOwner scratch(m_Output.Release());
  // The sink becomes the output, so the decoded bytes take the body's own
  // way there.
  m_Output.Adopt(m_Held.release());
  const int ok = decoder && scratch.get() &&
                 DecodeFileInto(scratch.get(), decoder, codings, DropDecoded, nullptr) &&
                 DecodeFileInto(scratch.get(), decoder, codings, WriteDecoded, this);
  const int closed = m_Output.Close();
  return ok && closed;
}

int CDownloadTarget::DecodeFileInto(FileHandle file, CBodyDecoder* decoder,
                                    const std::vector<ContentCoding>& codings, BodyWriter write,
                                    void* param) {
  std::unique_ptr<char[]> block(new (std::nothrow) char[kCopyBlock]);
  if (!block || !FileSeek(file, 0, FILE_SEEK_BEGIN, nullptr) || !decoder->Begin(codings)) return 0;
  for (;;) {
    // An interrupt ends this as it ends a transfer: the sink gets no more.
    if (InterruptRequested()) return 0;
    uint32_t got = 0;
    if (!FileRead(file, block.get(), kCopyBlock, &got)) return 0;
    if (got == 0) return decoder->End();
    if (!decoder->Decode(block.get(), got, write, param)) return 0;
  }
}

int CDownloadTarget::WriteDecoded(void* target, const char* data, size_t length) {
  return static_cast<CDownloadTarget*>(target)->Write(data, length);
}

void CDownloadTarget::Abandon() {
  switch (m_Mode) {
    case TARGET_NONE:
      break;
    case TARGET_SIDE:
      // The original was never written; only the side file goes.
      m_Output.Drop();
      FileDelete(m_SidePath.c_str());
      break;
    case TARGET_SCRATCH:
      // The scratch file vanishes as it closes; the sink got nothing.
      m_Output.Drop();
      break;
    case TARGET_FILE:
      if (m_Sink) {
        m_Output.Drop();
      } else if (m_ResumeFrom > 0) {
        if (m_Output) FileTruncate(m_Output.Get(), m_ResumeFrom);
        m_Output.Drop();
      } else {
        // A file without data is removed (never a sink, never an adopted one).
        m_Output.Drop();
        if (!m_Path.empty()) FileDelete(m_Path.c_str());
      }
      break;
  }
  m_EarlierFile.clear();
  Clear();
}

void CDownloadTarget::Clear() {
  if (m_Mode != TARGET_NONE) InterruptSetFileUnderWay(nullptr);
  m_Output.Drop();
  m_Held.Close();
  m_Mode = TARGET_NONE;
  m_Path.clear();
  m_ResumeFrom = 0;
  m_Sink = 0;
  m_SidePath.clear();
}
