#include "engine/Multipart.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/Guid.h"

namespace {

const PlatformGuid kFixedGuid = {0x1234ABCD, 0xBEEF, 0xCAFE, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

class MultipartTexts : public ::testing::Test {
 protected:
  void TearDown() override {
    GuidSetFixedForTest(NULL);
    GuidSetFailForTest(0);
  }
};

TEST_F(MultipartTexts, GuidTextHasLowerCaseThirdGroupOnly) {
  GuidSetFixedForTest(&kFixedGuid);
  EXPECT_EQ(CreateGuidString(), "1234ABCDBEEFcafe0123456789ABCDEF");
  EXPECT_EQ(MakeMimeBoundary(), "===QUANDIX_MIME_BOUNDARY_1234ABCDBEEFcafe0123456789ABCDEF===");
}

TEST_F(MultipartTexts, FreshGuidsFollowTheSameCasePattern) {
  const std::string a = CreateGuidString();
  const std::string b = CreateGuidString();
  ASSERT_EQ(a.size(), 32u);
  EXPECT_NE(a, b);
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_TRUE(isxdigit(static_cast<unsigned char>(a[i]))) << a;
    if (i >= 12 && i < 16)
      EXPECT_FALSE(isupper(static_cast<unsigned char>(a[i]))) << a;
    else
      EXPECT_FALSE(islower(static_cast<unsigned char>(a[i]))) << a;
  }
  EXPECT_EQ(MakeMimeBoundary().size(), 60u);
}

TEST_F(MultipartTexts, NoGuidGivesTheShortBoundary) {
  GuidSetFailForTest(1);
  EXPECT_EQ(CreateGuidString(), "");
  EXPECT_EQ(MakeMimeBoundary(), "===QUANDIX_MIME_BOUNDARY_===");
}

TEST_F(MultipartTexts, PartHeadBytes) {
  GuidSetFixedForTest(&kFixedGuid);
  const std::string boundary = MakeMimeBoundary();
  const std::string head = BuildFilePartHeader("a b.bin", boundary.c_str());
  EXPECT_EQ(head, "--" + boundary +
                      "\r\n"
                      "Content-Disposition: form-data; name=\"a b.bin\"; filename=\"a b.bin\"\r\n"
                      "Content-Type: application/octet-stream\r\n\r\n");
  EXPECT_EQ(head.size(), 160u + 2 * 7);
  // A long name is written whole.
  const std::string longName(5000, 'n');
  EXPECT_EQ(BuildFilePartHeader(longName.c_str(), boundary.c_str()).size(), 160u + 2 * 5000);
}

// The name stands between quotes on one line of the head: a byte that would
// end the line or the quoted text goes as %XX, so the head keeps its three
// lines whatever the file is called.
TEST_F(MultipartTexts, NameBytesThatWouldBreakTheHeadAreEscaped) {
  struct Case {
    std::string name;
    std::string written;
  } cases[] = {
      {"a\r\nb.bin", "a%0D%0Ab.bin"},
      {"a\"b.bin", "a%22b.bin"},
      {"\t\x01\x1F\x7F", "%09%01%1F%7F"},
      {"x\r\nContent-Type: text/html\r\n\r\n", "x%0D%0AContent-Type: text/html%0D%0A%0D%0A"},
      // Everything else goes byte for byte, "%" and the upper half included.
      {"50% caf\xC3\xA9 \x80\xFF ~;'\\.bin", "50% caf\xC3\xA9 \x80\xFF ~;'\\.bin"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    const std::string head = BuildFilePartHeader(c.name.c_str(), "B");
    EXPECT_EQ(head, "--B\r\nContent-Disposition: form-data; name=\"" + c.written +
                        "\"; filename=\"" + c.written +
                        "\"\r\nContent-Type: application/octet-stream\r\n\r\n");
  }
}

}  // namespace
