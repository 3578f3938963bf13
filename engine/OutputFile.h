// The file a download writes its body to, with one owner: the handle is
// closed once, on every way out. Writes to a regular file are gathered and
// go out in large blocks; a pipe or a terminal gets each piece at once.
#ifndef ZELVORA_ENGINE_OUTPUTFILE_H
#define ZELVORA_ENGINE_OUTPUTFILE_H

#include <cstddef>
#include <memory>

#include "platform/FileOwner.h"
#include "platform/FileSystem.h"

class COutputFile {
 public:
  COutputFile();
  ~COutputFile();
  COutputFile(const COutputFile&) = delete;
  COutputFile& operator=(const COutputFile&) = delete;

  // Becomes the owner of file (closing one held before, its gathered bytes
  // dropped). Writes are gathered when file is a regular file and the block
  // can be had.
  void Adopt(FileHandle file);
  // The file, still owned here; NULL when there is none.
  FileHandle Get() const { return m_File.get(); }
  explicit operator bool() const { return m_File.get() != nullptr; }

  // Writes length bytes (gathered, or at once). 1, or 0 when a write failed.
  int Write(const char* data, size_t length);
  // Puts every gathered byte into the file: 1, or 0 when a write failed (the
  // gathered bytes are given up either way).
  int Flush();
  // Flushes and closes: 1 when every byte went out and the close succeeded.
  // Holds no file after, whatever the result; 0 when there was none.
  int Close();
  // Closes without writing what is still gathered.
  void Drop();
  // Flushes and hands the file to the caller, who closes it (NULL when a
  // gathered byte could not be written; the file is closed then).
  FileHandle Release();

 private:
  CFileOwner m_File;
  int m_Gather;
  size_t m_Gathered;
  // Kept from one file to the next, so a batch does not touch fresh memory
  // for every file.
  std::unique_ptr<char[]> m_Block;
};

#endif
