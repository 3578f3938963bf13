// A body whose file does not close cleanly may not be on the disk whole:
// Commit says so and leaves the path as it was before the download, a new
// file removed and a resumed one cut back to its earlier bytes. The close is
// made to fail through the file-system layer's step seam.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/DownloadTarget.h"
#include "platform/FileStep.h"
#include "support/TempDir.h"

namespace {

int FailEveryClose(FileStepKind kind, const char*, const char*) {
  return kind == FILE_STEP_CLOSE ? 5 /* EIO */ : 0;
}

// Installs the hook for one scope, so no later test meets it.
class CFailingCloses {
 public:
  CFailingCloses() { FileSetStepHook(FailEveryClose); }
  ~CFailingCloses() { FileSetStepHook(nullptr); }
};

TEST(CommitClose, AFailedCloseOfAContinuedFileIsNoBody) {
  struct Case {
    const char* name;
    const char* earlier;  // nullptr: no file before the download
  } cases[] = {{"a new file", nullptr}, {"a resumed file", "earlier"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("out.bin");
    if (c.earlier) TempDir::WriteFile(path, c.earlier);
    CDownloadTarget target;
    ASSERT_EQ(1, target.Open(path.c_str()));
    ASSERT_EQ(1, target.ContinueFile());
    ASSERT_EQ(1, target.Write("-body", 5));
    {
      CFailingCloses failing;
      EXPECT_EQ(0, target.Commit(nullptr, std::vector<ContentCoding>(), nullptr));
    }
    if (c.earlier) {
      EXPECT_EQ(c.earlier, TempDir::ReadFile(path));
    } else {
      EXPECT_FALSE(TempDir::Exists(path));
    }
    EXPECT_EQ(c.earlier ? std::vector<std::string>{"out.bin"} : std::vector<std::string>{},
              dir.Names());
  }
}

}  // namespace
