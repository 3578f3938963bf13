#include "engine/PathSegment.h"

#include <gtest/gtest.h>

#include <string>

#include "frontend/BatchDownload.h"
#include "frontend/OutputNaming.h"

namespace {

struct SegmentCase {
  const char* text;
  const char* separators;
  size_t start;
  const char* segment;
};

TEST(LastSegment, TextBehindTheLastSeparator) {
  const SegmentCase cases[] = {
      {"", "/", 0, ""},
      {"name", "/\\", 0, "name"},
      {"/name", "/", 1, "name"},
      {"a/b/c.jpg", "/", 4, "c.jpg"},
      {"a/b/", "/", 4, ""},
      {"a\\b/c", "/", 4, "c"},
      {"a/b\\c", "/", 2, "b\\c"},
      {"a/b\\c", "/\\", 4, "c"},
      {"a\\b/c", "\\", 2, "b/c"},
      {"h/x.jpg?a=/b", "/", 11, "b"},
  };
  for (const SegmentCase& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " by " + c.separators);
    EXPECT_EQ(LastSegmentStart(c.text, c.separators), c.start);
    EXPECT_EQ(LastSegment(c.text, c.separators), c.segment);
  }
}

TEST(SplitLastSegment, NoSeparatorMeansNoSegment) {
  const struct {
    const char* text;
    int result;
    const char* head;
    const char* segment;
  } cases[] = {
      {"", 0, "unset", "unset"},
      {"name", 0, "unset", "unset"},
      {"/", 1, "", ""},
      {"/name", 1, "", "name"},
      {"/a/b[1-2].jpg", 1, "/a", "b[1-2].jpg"},
      {"/a/b/", 1, "/a/b", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string head = "unset";
    std::string segment = "unset";
    EXPECT_EQ(SplitLastSegment(c.text, "/", &head, &segment), c.result);
    EXPECT_EQ(head, c.head);
    EXPECT_EQ(segment, c.segment);
  }
}

// The callers differ in what separates: a batch URL splits at "/" only (a
// "\" is part of the name and becomes "_"), a name the response suggests at
// either. The upload's own rule is covered in tests/upload.
struct CallerCase {
  const char* text;
  const char* batchName;
  const char* responseName;
};

TEST(LastSegment, EachCallerKeepsItsSeparators) {
  const CallerCase cases[] = {
      {"http://h/dir/tu01.jpg", "tu01.jpg", "tu01.jpg"},
      {"http://h/a\\b.jpg", "a_b.jpg", "b.jpg"},
      {"h/a/b.jpg?size=3", "b.jpg_size=3", "b.jpg_size=3"},
      {"h/x.jpg?a=/b", "b", "b"},
      {"h/dir/", "", ""},
      {"a\\b/c", "c", "c"},
      {"a/b\\c", "b_c", "c"},
      {"plain.bin", "plain.bin", "plain.bin"},
      {"a\\..", "a_..", ""},
      {"..", "..", ""},
  };
  for (const CallerCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(GetBatchFileName(c.text), c.batchName);
    EXPECT_EQ(CleanResponseFileName(c.text), c.responseName);
  }
}

}  // namespace
