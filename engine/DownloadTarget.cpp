#include "engine/DownloadTarget.h"

#include <cstdio>
#include <memory>
#include <new>

#include "platform/Interrupt.h"

namespace {

// Names tried next to the output file, by suffix number.
const int kSideFileTries = 10;
// The side file that receives a whole new body.
const char kSideSuffix[] = "_zelvor.part";

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

int EndsWith(const std::string& name, const std::string& tail, size_t* at) {
  if (name.size() < tail.size()) return 0;
  *at = name.size() - tail.size();
  return name.compare(*at, tail.size(), tail) == 0;
}

}  // namespace

int IsDownloadOwnName(const std::string& name) {
  size_t at = 0;
  if (EndsWith(name, CEarlierFile::AsideName(""), &at)) return 1;
  // A side file's name, followed by its number if any.
  size_t digits = name.size();
  while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
  return EndsWith(name.substr(0, digits), kSideSuffix, &at);
}

void CDownloadTarget::MarkUnderWay(const char* path) { InterruptSetFileUnderWay(path); }

int CDownloadTarget::Open(const char* path) {
  Abandon();
  if (!path || !*path) return 0;
  const int sink = PathIsLink(path);
  // A file this download creates goes with a second interrupt: a
  // half-written one would later pass for a whole one. Named before it
  // exists, so that no moment is left in which it could stay. Created only
  // where nothing stands, so a file that appears meanwhile is opened as the
  // earlier file it is.
  if (!sink && PathGetKind(path) == PATH_MISSING) {
    MarkUnderWay(path);
    m_Output.Adopt(FileOpen(path, FILE_CREATE_NEW, FILE_SHARE_EXCLUSIVE));
    m_Created = static_cast<bool>(m_Output);
    if (!m_Created) MarkUnderWay(nullptr);
  }
  if (!m_Output) m_Output.Adopt(FileOpen(path, FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE));
  if (!m_Output) return 0;
  m_Mode = TARGET_FILE;
  m_Path = path;
  m_Sink = sink || !FileIsRegular(m_Output.Get());
  if (m_Sink) {
    // Behind a link the sink may already hold what was printed before it:
    // the body goes after that. A device that cannot seek is written as is.
    FileSeek(m_Output.Get(), 0, FILE_SEEK_END, nullptr);
  } else if (!m_Created) {
    // Only a regular file that holds data is resumed, from its very end.
    uint64_t size = 0;
    uint64_t position = 0;
    if (!FileGetSize(m_Output.Get(), &size) ||
        (size > 0 && (!FileSeek(m_Output.Get(), 0, FILE_SEEK_END, &position) || position != size))) {
      Clear();
      return 0;
    }
    m_ResumeFrom = size;
  }
  return 1;
}

int CDownloadTarget::ReplaceFile() {
  if (!HoldsEarlierFile() || m_Mode != TARGET_FILE) return 0;
  const std::string side = UnusedSidePath(m_Path, kSideSuffix);
  if (side.empty()) return 0;
  MarkUnderWay(side.c_str());
  CFileOwner sideFile(FileOpen(side.c_str(), FILE_CREATE_NEW, FILE_SHARE_EXCLUSIVE));
  if (!sideFile.get()) {
    MarkUnderWay(nullptr);
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
                            CEarlierFile* earlier) {
  // The body is whole: from here on the file is not one to remove.
  MarkUnderWay(nullptr);
  int ok = 1;
  switch (m_Mode) {
    case TARGET_NONE:
      return 0;
    case TARGET_FILE:
      ok = m_Output.Close();
      if (!ok) PutBackClosedFile();
      break;
    case TARGET_SIDE:
      ok = SwapSideFileIn(earlier);
      break;
    case TARGET_SCRATCH:
      ok = DecodeScratchToSink(decoder, codings);
      break;
  }
  Clear();
  return ok;
}

void CDownloadTarget::PutBackClosedFile() {
  if (m_Sink) return;
  if (m_Created) {
    FileDelete(m_Path.c_str());
    return;
  }
  CFileOwner file(FileOpen(m_Path.c_str(), FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE));
  if (file.get()) FileTruncate(file.get(), m_ResumeFrom);
}

// The whole body is in the side file: it takes the earlier file's place,
// which the keeper of this path moves aside first; the earlier file is
// never deleted before the body stands at the path.
int CDownloadTarget::SwapSideFileIn(CEarlierFile* earlier) {
  const int closed = m_Output.Close();
  CEarlierFile own;
  CEarlierFile* keeper = earlier;
  if (!keeper || keeper->Path() != m_Path || !keeper->IsAtPath()) {
    own.Find(m_Path);
    keeper = &own;
  }
  // The earlier file's handle holds its lock: the keeper keeps it aside.
  if (closed && keeper->MoveAside(m_Held.release())) {
    if (FileMove(m_SidePath.c_str(), m_Path.c_str())) {
      if (keeper == &own) own.Drop();
      return 1;
    }
    keeper->BringBack();
  }
  // The earlier file stands as it was: the side file is not needed.
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
      // The earlier file was never written; only the side file goes.
      m_Output.Drop();
      FileDelete(m_SidePath.c_str());
      break;
    case TARGET_SCRATCH:
      // The scratch file vanishes as it closes; the sink got nothing.
      m_Output.Drop();
      break;
    case TARGET_FILE:
      if (m_Created) {
        m_Output.Drop();
        FileDelete(m_Path.c_str());
      } else {
        // A file that was there keeps exactly its old bytes; a sink is left
        // as it is.
        if (!m_Sink && m_Output) FileTruncate(m_Output.Get(), m_ResumeFrom);
        m_Output.Drop();
      }
      break;
  }
  Clear();
}

void CDownloadTarget::Clear() {
  if (m_Mode != TARGET_NONE || m_Created) MarkUnderWay(nullptr);
  m_Output.Drop();
  m_Held.Close();
  m_Mode = TARGET_NONE;
  m_Path.clear();
  m_ResumeFrom = 0;
  m_Sink = 0;
  m_Created = 0;
  m_SidePath.clear();
}
