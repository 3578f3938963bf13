// A fresh directory under /tmp, removed with everything in it at the end of the scope.
#ifndef ZELVORA_TESTS_SUPPORT_TEMPDIR_H
#define ZELVORA_TESTS_SUPPORT_TEMPDIR_H

#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return m_Path; }
  // Path of a name inside the directory.
  std::string File(const std::string& name) const { return m_Path + "/" + name; }

  // Whole-file helpers for fixtures.
  static void WriteFile(const std::string& path, const std::string& bytes);
  static std::string ReadFile(const std::string& path);
  static bool Exists(const std::string& path);

 private:
  std::string m_Path;
};

#endif
