// A fresh directory under /tmp, removed with everything in it at the end of the scope.
#ifndef ZELVORA_TESTS_SUPPORT_TEMPDIR_H
#define ZELVORA_TESTS_SUPPORT_TEMPDIR_H

#include <string>
#include <vector>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return m_Path; }
  // Path of a name inside the directory.
  std::string File(const std::string& name) const { return m_Path + "/" + name; }
  // The names in the directory, to see that no side file stays behind.
  std::vector<std::string> Names() const;

  // Whole-file helpers for fixtures.
  static void WriteFile(const std::string& path, const std::string& bytes);
  static std::string ReadFile(const std::string& path);
  static bool Exists(const std::string& path);

 private:
  std::string m_Path;
};

#endif
