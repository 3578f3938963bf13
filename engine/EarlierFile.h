// What the output path held before the download: the one keeper of those
// bytes, from the moment the run finds them to its end. They stand in one
// of two places, at the path or under its aside name (the path followed by
// "_zelvor.bk"), and only the keeper moves them from one to the other or
// drops them. While aside they are held under the download's exclusive
// lock, so that another run sees them as in use.
//
// A run that puts the earlier file aside before its request (a download
// that does not resume) and one that resumes it, where a whole new body
// moves it aside only once the body is in its place beside it, leave the
// same thing after a kill: the earlier bytes at the path or under the aside
// name. Nothing of the program's ever replaces a file under that name, so a
// file found there stops the next run (it may be the only copy).
#ifndef ZELVORA_ENGINE_EARLIERFILE_H
#define ZELVORA_ENGINE_EARLIERFILE_H

#include <string>

#include "platform/FileOwner.h"
#include "platform/FileSystem.h"

class CEarlierFile {
 public:
  CEarlierFile() = default;
  // Whatever stands aside stays there (the lock goes with the process).
  ~CEarlierFile() = default;
  CEarlierFile(const CEarlierFile&) = delete;
  CEarlierFile& operator=(const CEarlierFile&) = delete;

  // The name the earlier bytes of path stand under while aside.
  static std::string AsideName(const std::string& path);

  // Takes on path: a regular file there (never a link, a device or a
  // folder) is its earlier file, at the path. Forgets what it kept before
  // without touching it. 1 when there is an earlier file.
  int Find(const std::string& path);
  // Moves the earlier file from the path to the aside name, which is never
  // replaced, and holds it locked there. lock, when not NULL, is an open
  // handle of that file that holds the lock already; it becomes the
  // keeper's in any case. 1, or 0 with the file still at the path (none
  // kept, another run holds it, or the move failed).
  int MoveAside(FileHandle lock = nullptr);
  // Moves the earlier file back from the aside name to the path, which must
  // be free. 1 when the earlier bytes are at the path (or there are none),
  // 0 when they stay aside.
  int BringBack();
  // The body has taken the path for good: the earlier bytes aside are
  // deleted. 1 when they were (or there are none), 0 when they could not
  // be; -1 when no regular file stands at the path, so that they are all
  // there is: they are brought back then, when they can be (IsAside says).
  int Drop();

  const std::string& Path() const { return m_Path; }
  // 1 while an earlier file is kept and stands at the path.
  int IsAtPath() const { return m_Place == EARLIER_AT_PATH; }
  // 1 while it stands under Aside().
  int IsAside() const { return m_Place == EARLIER_ASIDE; }
  std::string Aside() const { return AsideName(m_Path); }

 private:
  enum Place { EARLIER_NONE, EARLIER_AT_PATH, EARLIER_ASIDE };

  std::string m_Path;
  Place m_Place = EARLIER_NONE;
  CFileOwner m_Lock;
};

#endif
