// The file of one download, from the moment it is opened to the moment the
// body is committed or given up: the one owner of every handle and every
// name beside it that the body passes through, and of the file under way
// that a second interrupt removes (the one this download made, spelt as it
// was opened). What the path held before the download stays exactly as it
// was until Commit; Abandon (and the destructor) puts it back so, whatever
// happened in between. Only a file this download created is ever removed.
//
// The life of one download's file:
//   Open            the path, and the point a resumed file continues from;
//   ContinueFile,   the body lands behind the file's bytes (none for a new
//   ReplaceFile,    file), or goes to a side file that takes the file's
//   CollectForSink  place at Commit, or collects as it came in a scratch
//                   file to be decoded into a sink at Commit;
//   Write, Flush    the body's bytes;
//   Commit          the body is whole: it stands at the path;
//   Abandon         anything else: the path is as it was before Open.
#ifndef ZELVORA_ENGINE_DOWNLOADTARGET_H
#define ZELVORA_ENGINE_DOWNLOADTARGET_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/BodyDecoder.h"
#include "engine/ContentEncoding.h"
#include "engine/EarlierFile.h"
#include "engine/OutputFile.h"
#include "platform/FileOwner.h"
#include "platform/FileSystem.h"

class CDownloadTarget {
 public:
  CDownloadTarget() = default;
  ~CDownloadTarget() { Abandon(); }
  CDownloadTarget(const CDownloadTarget&) = delete;
  CDownloadTarget& operator=(const CDownloadTarget&) = delete;

  // Opens path for the body: a new file is created, an existing regular
  // file is kept with its bytes (ResumeFrom tells how many), and a link or
  // anything but a regular file is a sink (never resumed, truncated, moved
  // or deleted; one behind a link is written at its end). 1, or 0 with
  // nothing on disk changed and nothing held. Abandons what was held first.
  int Open(const char* path);

  // The bytes the file held when it was opened: a 206 must continue there.
  // 0 for a new or empty file and for a sink.
  uint64_t ResumeFrom() const { return m_ResumeFrom; }
  int IsSink() const { return m_Sink; }
  // 1 when a regular file stood at the path before Open, empty or not: it
  // is the user's, so a whole body goes beside it (ReplaceFile).
  int HoldsEarlierFile() const { return m_Mode != TARGET_NONE && !m_Sink && !m_Created; }
  // The file the body is written to now, still owned here; NULL when none.
  FileHandle Get() const { return m_Output.Get(); }
  explicit operator bool() const { return static_cast<bool>(m_Output); }

  // Where the body goes; each 1, or 0 with nothing changed.
  // Behind the file's bytes (from the start of a new file, at a sink's end).
  int ContinueFile() { return static_cast<bool>(m_Output); }
  // To a side file that takes the earlier file's place only at Commit; the
  // earlier file stays open, locked and untouched meanwhile.
  int ReplaceFile();
  // As it came, to a nameless scratch file; the sink waits, and gets the
  // decoded body at Commit only once all of it decodes.
  int CollectForSink();

  // The body's next bytes: 1, or 0 when they could not be written.
  int Write(const char* data, size_t length) { return m_Output.Write(data, length); }
  // Every gathered byte to the file: 1, or 0 when a write failed.
  int Flush() { return m_Output.Flush(); }

  // The body is whole: a side file takes the earlier file's place, a
  // scratch file goes through decoder (Begin with codings) into its sink, a
  // file that was continued is closed (its close checked). 1 when the body
  // stands at the path; else 0 with the path as it was before Open. Holds
  // nothing after.
  //
  // The earlier file that a side file replaces is moved aside by earlier,
  // when that keeps this very path, and stays there for the caller to drop
  // or to bring back; with no such keeper it is dropped once the body is in
  // its place.
  int Commit(CBodyDecoder* decoder, const std::vector<ContentCoding>& codings,
             CEarlierFile* earlier);
  // Puts the path back as it was before Open: a file that was there keeps
  // exactly its old bytes, a file this download created is removed, a sink
  // is left as it is; side and scratch files go. Holds nothing after; does
  // nothing when nothing is held.
  void Abandon();

 private:
  enum Mode {
    TARGET_NONE,     // nothing held
    TARGET_FILE,     // the body goes to the file at the path
    TARGET_SIDE,     // the body goes to m_SidePath; the earlier file waits in m_Held
    TARGET_SCRATCH   // the body collects in a scratch file; the sink waits in m_Held
  };

  int SwapSideFileIn(CEarlierFile* earlier);
  // After a continued file failed to close: the path as it was before Open.
  void PutBackClosedFile();
  // The file a second interrupt removes: path, or none for NULL.
  static void MarkUnderWay(const char* path);
  int DecodeScratchToSink(CBodyDecoder* decoder, const std::vector<ContentCoding>& codings);
  // One pass of file, from its start, through decoder into write.
  static int DecodeFileInto(FileHandle file, CBodyDecoder* decoder,
                            const std::vector<ContentCoding>& codings, BodyWriter write,
                            void* param);
  static int WriteDecoded(void* target, const char* data, size_t length);
  // Forgets the download (its files already settled).
  void Clear();

  COutputFile m_Output;
  Mode m_Mode = TARGET_NONE;
  std::string m_Path;
  uint64_t m_ResumeFrom = 0;
  int m_Sink = 0;
  // 1 when Open created the file at the path: the only file it may remove.
  int m_Created = 0;
  CFileOwner m_Held;
  std::string m_SidePath;
};

// 1 when name (a file name, or a path) ends in a name the download keeps for
// itself beside an output file: the earlier file's aside name or a side
// file's name, numbered or not. A name from an answer never takes one.
int IsDownloadOwnName(const std::string& name);

#endif
