// One owner for an open file: the handle is closed exactly once, when its
// owner goes, unless it was handed on with release().
#ifndef ZELVORA_PLATFORM_FILEOWNER_H
#define ZELVORA_PLATFORM_FILEOWNER_H

#include "platform/FileSystem.h"

class CFileOwner {
 public:
  explicit CFileOwner(FileHandle file = nullptr) : m_File(file) {}
  ~CFileOwner() { Close(); }
  CFileOwner(const CFileOwner&) = delete;
  CFileOwner& operator=(const CFileOwner&) = delete;
  CFileOwner(CFileOwner&& other) noexcept : m_File(other.release()) {}
  CFileOwner& operator=(CFileOwner&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  // The file, still owned here; NULL when there is none.
  FileHandle get() const { return m_File; }
  // Hands the file to the caller, who closes it; the owner holds none after.
  FileHandle release() {
    FileHandle file = m_File;
    m_File = nullptr;
    return file;
  }
  // Closes the file held (its result is lost) and takes file instead.
  void reset(FileHandle file = nullptr) {
    if (m_File && m_File != file) FileClose(m_File);
    m_File = file;
  }
  // Closes the file now: FileClose's result, or 0 when there was none. The
  // owner holds none after, whatever the result.
  int Close() { return m_File ? FileClose(release()) : 0; }

 private:
  FileHandle m_File;
};

#endif
