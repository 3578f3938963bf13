#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace {

const FileOpenMode kAllModes[] = {FILE_OPEN_READ_EXISTING, FILE_OPEN_WRITE_EXISTING,
                                  FILE_CREATE_ALWAYS, FILE_CREATE_NEW};
const FileShareMode kAllShares[] = {FILE_SHARE_EXCLUSIVE, FILE_SHARE_READERS};

bool IsCharDevice(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISCHR(st.st_mode);
}

std::string ReadAll(FileHandle file) {
  std::string all;
  char chunk[256];
  uint32_t got = 0;
  while (FileRead(file, chunk, sizeof chunk, &got) && got > 0) all.append(chunk, got);
  return all;
}

class FileSystemTest : public ::testing::Test {
 protected:
  TempDir m_Dir;
};

TEST_F(FileSystemTest, OpenModesOnMissingAndExistingFiles) {
  const std::string missing = m_Dir.File("missing");
  EXPECT_EQ(FileOpen(missing.c_str(), FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS), nullptr);
  EXPECT_EQ(FileOpen(missing.c_str(), FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE), nullptr);
  EXPECT_FALSE(TempDir::Exists(missing));

  const std::string inMissingFolder = m_Dir.File("nofolder/file");
  for (FileOpenMode mode : kAllModes)
    EXPECT_EQ(FileOpen(inMissingFolder.c_str(), mode, FILE_SHARE_EXCLUSIVE), nullptr) << mode;

  // Write-existing keeps the contents and starts at position 0.
  const std::string path = m_Dir.File("data");
  TempDir::WriteFile(path, "abcdef");
  FileHandle file = FileOpen(path.c_str(), FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(file, nullptr);
  uint32_t written = 0;
  EXPECT_EQ(FileWrite(file, "XY", 2, &written), 1);
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(FileClose(file), 1);
  EXPECT_EQ(TempDir::ReadFile(path), "XYcdef");

  // Create-always empties a regular file.
  file = FileOpen(path.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(file, nullptr);
  uint64_t size = 99;
  EXPECT_EQ(FileGetSize(file, &size), 1);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(FileWrite(file, "new", 3, nullptr), 1);
  EXPECT_EQ(FileClose(file), 1);
  EXPECT_EQ(TempDir::ReadFile(path), "new");

  file = FileOpen(path.c_str(), FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(file), "new");
  EXPECT_EQ(FileClose(file), 1);
  EXPECT_EQ(FileClose(nullptr), 0);
}

TEST_F(FileSystemTest, DirectoryIsRefusedByEveryOpen) {
  for (FileOpenMode mode : kAllModes) {
    for (FileShareMode share : kAllShares) {
      FileHandle file = FileOpen(m_Dir.Path().c_str(), mode, share);
      EXPECT_EQ(file, nullptr) << "mode " << mode << " share " << share;
      if (file) FileClose(file);
    }
  }
}

TEST_F(FileSystemTest, LocksOfRegularFiles) {
  const std::string path = m_Dir.File("locked");
  TempDir::WriteFile(path, "keep me");

  struct LockCase {
    FileShareMode first;
    FileOpenMode secondMode;
    FileShareMode secondShare;
    bool secondOpens;
  };
  const LockCase cases[] = {
      {FILE_SHARE_EXCLUSIVE, FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS, false},
      {FILE_SHARE_EXCLUSIVE, FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE, false},
      {FILE_SHARE_EXCLUSIVE, FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE, false},
      {FILE_SHARE_READERS, FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS, true},
      {FILE_SHARE_READERS, FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE, false},
  };
  for (const LockCase& c : cases) {
    FileHandle first = FileOpen(path.c_str(), FILE_OPEN_READ_EXISTING, c.first);
    ASSERT_NE(first, nullptr);
    FileHandle second = FileOpen(path.c_str(), c.secondMode, c.secondShare);
    EXPECT_EQ(second != nullptr, c.secondOpens) << "first " << c.first << " then mode "
                                                << c.secondMode << " share " << c.secondShare;
    if (second) FileClose(second);
    FileClose(first);
    // A refused create-always must not have emptied the file.
    EXPECT_EQ(TempDir::ReadFile(path), "keep me");
  }

  // The lock goes with the close.
  FileHandle again = FileOpen(path.c_str(), FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE);
  EXPECT_NE(again, nullptr);
  FileClose(again);
}

// Create-new makes a file only where nothing stands, and leaves what does.
TEST_F(FileSystemTest, CreateNewTakesOnlyAFreeName) {
  const std::string path = m_Dir.File("new");
  FileHandle file = FileOpen(path.c_str(), FILE_CREATE_NEW, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(FileWrite(file, "mine", 4, nullptr), 1);
  EXPECT_EQ(FileClose(file), 1);
  const std::string link = m_Dir.File("link");
  ASSERT_EQ(0, symlink(m_Dir.File("nowhere").c_str(), link.c_str()));
  for (const std::string& taken : {path, link, std::string("/dev/null")}) {
    EXPECT_EQ(FileOpen(taken.c_str(), FILE_CREATE_NEW, FILE_SHARE_EXCLUSIVE), nullptr) << taken;
  }
  EXPECT_EQ(TempDir::ReadFile(path), "mine");
  EXPECT_FALSE(TempDir::Exists(m_Dir.File("nowhere")));
}

// Only an exclusive holder makes a file locked to others; nothing changes.
TEST_F(FileSystemTest, LockedByAnotherOnlyWhileAnExclusiveOpenHoldsIt) {
  const std::string path = m_Dir.File("held");
  TempDir::WriteFile(path, "keep me");
  EXPECT_EQ(PathIsLockedByAnother(path.c_str()), 0);
  const struct {
    FileOpenMode mode;
    FileShareMode share;
    int locked;
  } cases[] = {
      {FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE, 1},
      {FILE_OPEN_READ_EXISTING, FILE_SHARE_EXCLUSIVE, 1},
      {FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS, 0},
  };
  for (const auto& c : cases) {
    FileHandle holder = FileOpen(path.c_str(), c.mode, c.share);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(PathIsLockedByAnother(path.c_str()), c.locked) << c.mode << " " << c.share;
    FileClose(holder);
    EXPECT_EQ(PathIsLockedByAnother(path.c_str()), 0);
  }
  EXPECT_EQ(TempDir::ReadFile(path), "keep me");
  const std::string fifo = m_Dir.File("fifo");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  for (const std::string& other : {m_Dir.File("missing"), m_Dir.Path(), fifo, std::string("/dev/null")}) {
    EXPECT_EQ(PathIsLockedByAnother(other.c_str()), 0) << other;
  }
}

TEST_F(FileSystemTest, DevicesAreNeitherLockedNorTruncated) {
  FileHandle a = FileOpen("/dev/null", FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  FileHandle b = FileOpen("/dev/null", FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  FileHandle c = FileOpen("/dev/null", FILE_OPEN_READ_EXISTING, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(FileIsRegular(a), 0);
  EXPECT_EQ(FileWrite(a, "sink", 4, nullptr), 1);
  EXPECT_EQ(FileTruncate(a, 0), 1);  // nothing to do on a device
  uint32_t got = 7;
  char byte;
  EXPECT_EQ(FileRead(c, &byte, 1, &got), 1);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(FileClose(a), 1);
  EXPECT_EQ(FileClose(b), 1);
  EXPECT_EQ(FileClose(c), 1);
  EXPECT_TRUE(IsCharDevice("/dev/null"));
}

TEST_F(FileSystemTest, SizeAndSeekBeyondFourGiB) {
  const std::string path = m_Dir.File("sparse");
  FileHandle file = FileOpen(path.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(file, nullptr);
  const uint64_t big = (UINT64_C(5) << 30) + 123;  // sparse, costs no disk
  ASSERT_EQ(FileTruncate(file, big), 1);
  uint64_t size = 0;
  EXPECT_EQ(FileGetSize(file, &size), 1);
  EXPECT_EQ(size, big);

  uint64_t pos = 0;
  EXPECT_EQ(FileSeek(file, 0, FILE_SEEK_END, &pos), 1);
  EXPECT_EQ(pos, big);
  EXPECT_EQ(FileWrite(file, "Z", 1, nullptr), 1);
  EXPECT_EQ(FileSeek(file, -1, FILE_SEEK_END, &pos), 1);
  EXPECT_EQ(pos, big);
  const int64_t mark = (INT64_C(4) << 30) + 7;
  EXPECT_EQ(FileSeek(file, mark, FILE_SEEK_BEGIN, &pos), 1);
  EXPECT_EQ(pos, static_cast<uint64_t>(mark));
  EXPECT_EQ(FileWrite(file, "M", 1, nullptr), 1);
  EXPECT_EQ(FileSeek(file, -5, FILE_SEEK_BEGIN, &pos), 0);
  EXPECT_EQ(FileClose(file), 1);

  file = FileOpen(path.c_str(), FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(FileGetSize(file, &size), 1);
  EXPECT_EQ(size, big + 1);
  char got[2] = {0, 0};
  uint32_t count = 0;
  EXPECT_EQ(FileSeek(file, mark, FILE_SEEK_BEGIN, nullptr), 1);
  EXPECT_EQ(FileRead(file, got, 2, &count), 1);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(got[0], 'M');
  EXPECT_EQ(got[1], '\0');
  EXPECT_EQ(FileSeek(file, static_cast<int64_t>(big), FILE_SEEK_BEGIN, nullptr), 1);
  EXPECT_EQ(FileRead(file, got, 2, &count), 1);
  EXPECT_EQ(count, 1u);  // short at the end of the file
  EXPECT_EQ(got[0], 'Z');
  EXPECT_EQ(FileClose(file), 1);
}

TEST_F(FileSystemTest, ReadGathersShortTransfersUntilTheEnd) {
  // A pipe hands out what the writer has written so far; the read must keep going.
  const std::string fifo = m_Dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&fifo] {
    int fd = open(fifo.c_str(), O_WRONLY);
    if (fd < 0) return;
    const char* parts[] = {"abc", "de", "fghij"};
    for (const char* part : parts) {
      if (write(fd, part, strlen(part)) < 0) break;
      usleep(20000);
    }
    close(fd);
  });
  FileHandle file = FileOpen(fifo.c_str(), FILE_OPEN_READ_EXISTING, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(file, nullptr);
  char buffer[32];
  uint32_t got = 0;
  EXPECT_EQ(FileRead(file, buffer, 6, &got), 1);
  EXPECT_EQ(std::string(buffer, got), "abcdef");
  EXPECT_EQ(FileRead(file, buffer, sizeof buffer, &got), 1);
  EXPECT_EQ(std::string(buffer, got), "ghij");
  EXPECT_EQ(FileRead(file, buffer, sizeof buffer, &got), 1);
  EXPECT_EQ(got, 0u);
  FileClose(file);
  writer.join();
}

TEST_F(FileSystemTest, ReadWholeGivesTheFileWithinItsLimit) {
  struct Case {
    const char* what;
    std::string content;
    uint32_t most;
    int result;
  };
  const Case cases[] = {
      {"bytes with a zero inside", std::string("ab\0cd", 5), 5, 1},
      {"empty", "", 0, 1},
      {"one byte over the limit", "abcdef", 5, 0},
  };
  for (const Case& c : cases) {
    const std::string path = m_Dir.File("whole.bin");
    TempDir::WriteFile(path, c.content);
    FileHandle file = FileOpen(path.c_str(), FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS);
    ASSERT_NE(file, nullptr) << c.what;
    std::string contents = "left over";
    EXPECT_EQ(FileReadWhole(file, c.most, &contents), c.result) << c.what;
    EXPECT_EQ(contents, c.result ? c.content : std::string()) << c.what;
    EXPECT_EQ(FileClose(file), 1) << c.what;
  }
}

TEST_F(FileSystemTest, PathKinds) {
  const std::string file = m_Dir.File("file");
  TempDir::WriteFile(file, "x");
  const std::string dangling = m_Dir.File("dangling");
  ASSERT_EQ(symlink(m_Dir.File("nothing").c_str(), dangling.c_str()), 0);
  const std::string dirLink = m_Dir.File("dirlink");
  ASSERT_EQ(symlink(m_Dir.Path().c_str(), dirLink.c_str()), 0);

  struct KindCase {
    std::string path;
    PathKind kind;
    int regular;
    int link;
  };
  const KindCase cases[] = {
      {m_Dir.File("missing"), PATH_MISSING, 0, 0},
      {"", PATH_MISSING, 0, 0},
      {m_Dir.File("file/below"), PATH_MISSING, 0, 0},
      {dangling, PATH_MISSING, 0, 1},
      {m_Dir.Path(), PATH_DIRECTORY, 0, 0},
      {dirLink, PATH_DIRECTORY, 0, 1},
      {file, PATH_FILE, 1, 0},
      {"/dev/null", PATH_FILE, 0, 0},
  };
  for (const KindCase& c : cases) {
    EXPECT_EQ(PathGetKind(c.path.c_str()), c.kind) << c.path;
    EXPECT_EQ(PathIsRegularFile(c.path.c_str()), c.regular) << c.path;
    EXPECT_EQ(PathIsLink(c.path.c_str()), c.link) << c.path;
  }
}

TEST_F(FileSystemTest, DeleteRemovesOnlyRegularFiles) {
  const std::string file = m_Dir.File("file");
  TempDir::WriteFile(file, "x");
  const std::string fifo = m_Dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string dir = m_Dir.File("dir");
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  const std::string nullLink = m_Dir.File("nulllink");
  ASSERT_EQ(symlink("/dev/null", nullLink.c_str()), 0);

  EXPECT_EQ(FileDelete(fifo.c_str()), 0);
  EXPECT_EQ(FileDelete(dir.c_str()), 0);
  EXPECT_EQ(FileDelete(nullLink.c_str()), 0);
  EXPECT_EQ(FileDelete(m_Dir.File("missing").c_str()), 0);
  EXPECT_TRUE(TempDir::Exists(fifo));
  EXPECT_TRUE(TempDir::Exists(dir));
  EXPECT_TRUE(TempDir::Exists(nullLink));
  EXPECT_TRUE(IsCharDevice("/dev/null"));

  EXPECT_EQ(FileDelete(file.c_str()), 1);
  EXPECT_FALSE(TempDir::Exists(file));
  EXPECT_EQ(FileDelete(file.c_str()), 0);
}

TEST_F(FileSystemTest, DeleteAndMoveLeaveALinkToAFileAsItIs) {
  const std::string file = m_Dir.File("file");
  TempDir::WriteFile(file, "kept");
  const std::string link = m_Dir.File("link");
  ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
  EXPECT_EQ(FileDelete(link.c_str()), 0);
  EXPECT_EQ(FileMove(link.c_str(), m_Dir.File("moved").c_str()), 0);
  EXPECT_EQ(PathIsLink(link.c_str()), 1);
  EXPECT_EQ(TempDir::ReadFile(link), "kept");
  EXPECT_FALSE(TempDir::Exists(m_Dir.File("moved")));
}

// The standard output of this test is pointed at a file for a moment.
TEST_F(FileSystemTest, StandardOutputFileOpensAtItsPositionUncut) {
  const std::string path = m_Dir.File("out");
  fflush(stdout);
  int saved = dup(STDOUT_FILENO);
  ASSERT_GE(saved, 0);
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(dup2(fd, STDOUT_FILENO), STDOUT_FILENO);
  close(fd);
  ASSERT_EQ(write(STDOUT_FILENO, "head ", 5), 5);
  FileHandle file = FileOpen(path.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  int wrote = file != nullptr && FileWrite(file, "body", 4, nullptr);
  // A second exclusive open still works: nothing was locked.
  FileHandle again = FileOpen(path.c_str(), FILE_OPEN_WRITE_EXISTING, FILE_SHARE_EXCLUSIVE);
  ssize_t tail = write(STDOUT_FILENO, " tail", 5);
  FileClose(again);
  FileClose(file);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  EXPECT_EQ(wrote, 1);
  EXPECT_NE(again, nullptr);
  EXPECT_EQ(tail, 5);
  EXPECT_EQ(TempDir::ReadFile(path), "head body tail");
}

TEST_F(FileSystemTest, DeleteAndMoveRefuseADeviceNode) {
  // A private copy of the null device, so a fault cannot harm the real one.
  const std::string node = m_Dir.File("null");
  if (mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    GTEST_SKIP() << "cannot make a device node here";
  EXPECT_EQ(FileDelete(node.c_str()), 0);
  EXPECT_EQ(FileMove(node.c_str(), m_Dir.File("moved").c_str()), 0);
  EXPECT_TRUE(IsCharDevice(node.c_str()));
  EXPECT_FALSE(TempDir::Exists(m_Dir.File("moved")));
  FileHandle file = FileOpen(node.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(file, nullptr);
  FileClose(file);
  EXPECT_TRUE(IsCharDevice(node.c_str()));
}

TEST_F(FileSystemTest, MoveNeverReplaces) {
  const std::string from = m_Dir.File("from");
  TempDir::WriteFile(from, "source");

  const std::string existingFile = m_Dir.File("file");
  TempDir::WriteFile(existingFile, "target");
  const std::string existingDir = m_Dir.File("dir");
  ASSERT_EQ(mkdir(existingDir.c_str(), 0700), 0);
  const std::string danglingLink = m_Dir.File("dangling");
  ASSERT_EQ(symlink(m_Dir.File("nothing").c_str(), danglingLink.c_str()), 0);

  const std::string targets[] = {existingFile, existingDir, danglingLink, "/dev/null",
                                 m_Dir.File("nofolder/to"), ""};
  for (const std::string& to : targets) {
    EXPECT_EQ(FileMove(from.c_str(), to.c_str()), 0) << to;
    EXPECT_EQ(TempDir::ReadFile(from), "source") << to;
  }
  EXPECT_EQ(TempDir::ReadFile(existingFile), "target");
  EXPECT_EQ(PathGetKind(existingDir.c_str()), PATH_DIRECTORY);
  EXPECT_FALSE(TempDir::Exists(m_Dir.File("nofolder")));
  EXPECT_TRUE(IsCharDevice("/dev/null"));

  const std::string to = m_Dir.File("to");
  EXPECT_EQ(FileMove(from.c_str(), to.c_str()), 1);
  EXPECT_FALSE(TempDir::Exists(from));
  EXPECT_EQ(TempDir::ReadFile(to), "source");
}

TEST_F(FileSystemTest, MoveTakesOnlyRegularFiles) {
  const std::string dir = m_Dir.File("dir");
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  const std::string fifo = m_Dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string sources[] = {dir, fifo, "/dev/null", m_Dir.File("missing")};
  for (const std::string& from : sources) {
    const std::string to = m_Dir.File("to");
    EXPECT_EQ(FileMove(from.c_str(), to.c_str()), 0) << from;
    EXPECT_FALSE(TempDir::Exists(to)) << from;
  }
  EXPECT_EQ(PathGetKind(dir.c_str()), PATH_DIRECTORY);
  EXPECT_TRUE(TempDir::Exists(fifo));
  EXPECT_TRUE(IsCharDevice("/dev/null"));
}

// What stands at a name, for the replace cases: "-" nothing, "/" a
// directory, any other text a regular file with that content.
void PlaceAt(const std::string& path, const std::string& what) {
  if (what == "/") {
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  } else if (what != "-") {
    TempDir::WriteFile(path, what);
  }
}

std::string WhatIsAt(const std::string& path) {
  if (!TempDir::Exists(path)) return "-";
  if (PathGetKind(path.c_str()) == PATH_DIRECTORY) return "/";
  return TempDir::ReadFile(path);
}

TEST_F(FileSystemTest, ReplaceLeavesACompleteFileAtThePath) {
  struct Case {
    const char* name;
    const char* path;  // before, then after, at each name
    const char* fresh;
    const char* aside;
    int result;
    const char* pathAfter;
    const char* freshAfter;
    const char* asideAfter;
  };
  const Case cases[] = {
      {"both files, aside free", "old", "new", "-", 1, "new", "-", "-"},
      {"a file at the aside name", "old", "new", "taken", 0, "old", "new", "taken"},
      {"a directory at the aside name", "old", "new", "/", 0, "old", "new", "/"},
      {"nothing at the path", "-", "new", "-", 0, "-", "new", "-"},
      {"a directory at the path", "/", "new", "-", 0, "/", "new", "-"},
      // The second move fails: the old file goes back under its own name.
      {"no fresh file", "old", "-", "-", 0, "old", "-", "-"},
      {"a directory as the fresh file", "old", "/", "-", 0, "old", "/", "-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("out");
    const std::string fresh = dir.File("out.new");
    const std::string aside = dir.File("out.old");
    PlaceAt(path, c.path);
    PlaceAt(fresh, c.fresh);
    PlaceAt(aside, c.aside);
    EXPECT_EQ(c.result, FileReplace(path.c_str(), fresh.c_str(), aside.c_str()));
    EXPECT_EQ(c.pathAfter, WhatIsAt(path));
    EXPECT_EQ(c.freshAfter, WhatIsAt(fresh));
    EXPECT_EQ(c.asideAfter, WhatIsAt(aside));
  }
}

TEST_F(FileSystemTest, DirCreateMakesOneLevel) {
  const std::string dir = m_Dir.File("one");
  EXPECT_EQ(DirCreate(dir.c_str()), 1);
  EXPECT_EQ(PathGetKind(dir.c_str()), PATH_DIRECTORY);
  EXPECT_EQ(DirCreate(dir.c_str()), 0);  // already there
  EXPECT_EQ(DirCreate(m_Dir.File("two/three").c_str()), 0);
  EXPECT_FALSE(TempDir::Exists(m_Dir.File("two")));
  EXPECT_EQ(DirCreate(""), 0);
}

TEST_F(FileSystemTest, BackslashSeparatesPaths) {
  std::string base = m_Dir.Path();
  const std::string dir = base + "\\sub";
  const std::string file = dir + "\\name.txt";
  ASSERT_EQ(DirCreate(dir.c_str()), 1);
  EXPECT_TRUE(TempDir::Exists(base + "/sub"));
  FileHandle handle = FileOpen(file.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(FileWrite(handle, "bs", 2, nullptr), 1);
  EXPECT_EQ(FileClose(handle), 1);
  EXPECT_EQ(TempDir::ReadFile(base + "/sub/name.txt"), "bs");
  EXPECT_EQ(PathGetKind(dir.c_str()), PATH_DIRECTORY);
  EXPECT_EQ(PathIsRegularFile(file.c_str()), 1);

  const std::string moved = dir + "\\moved.txt";
  EXPECT_EQ(FileMove(file.c_str(), moved.c_str()), 1);
  EXPECT_EQ(TempDir::ReadFile(base + "/sub/moved.txt"), "bs");
  EXPECT_EQ(FileDelete(moved.c_str()), 1);
  EXPECT_FALSE(TempDir::Exists(base + "/sub/moved.txt"));
}

TEST_F(FileSystemTest, OpenFilesDoNotLeakIntoChildPrograms) {
  const std::string path = m_Dir.File("file");
  FileHandle file = FileOpen(path.c_str(), FILE_CREATE_ALWAYS, FILE_SHARE_EXCLUSIVE);
  ASSERT_NE(file, nullptr);
  int checked = 0;
  DIR* fds = opendir("/proc/self/fd");
  ASSERT_NE(fds, nullptr);
  while (struct dirent* entry = readdir(fds)) {
    char target[4096];
    std::string link = std::string("/proc/self/fd/") + entry->d_name;
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    if (std::string(target, static_cast<size_t>(n)) != path) continue;
    EXPECT_NE(fcntl(atoi(entry->d_name), F_GETFD) & FD_CLOEXEC, 0);
    ++checked;
  }
  closedir(fds);
  EXPECT_EQ(checked, 1);
  FileClose(file);
}

}  // namespace
