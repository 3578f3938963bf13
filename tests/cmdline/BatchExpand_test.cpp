#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/BatchLimits.h"
#include "frontend/ImpBroxCmd.h"

namespace {

// A driver as ParseCommandLine leaves it for "-O" and the given URL parts.
void SetUpDriver(CImpBroxCmd& cmd, const std::string& path, unsigned short port = 80) {
  cmd.m_OutputToFile = 1;
  cmd.m_ArgParse.AddOption("-O", "");
  cmd.m_Host = "h";
  cmd.m_Port = port;
  cmd.m_Path = path;
}

struct ListCase {
  std::string path;
  std::vector<std::string> urls;
};

TEST(ExpandBatchUrlsTest, ExpandsTheRangeOfTheLastSegment) {
  const std::string b = "http://h:80";
  const ListCase cases[] = {
      {"/img/tu[5-5].jpg", {b + "/img/tu5.jpg"}},
      {"/a/b[1-3].txt", {b + "/a/b1.txt", b + "/a/b2.txt", b + "/a/b3.txt"}},
      {"/tu[0-1].jpg", {b + "/tu0.jpg", b + "/tu1.jpg"}},
      // First "[" and last "]": the high text is 3]b.
      {"/a[1-3]b]c", {b + "/a1c", b + "/a2c", b + "/a3c"}},
      {"/x[a-3].jpg", {b + "/x0.jpg", b + "/x1.jpg", b + "/x2.jpg", b + "/x3.jpg"}},
      {"/img[1-2].jpg?size=3", {b + "/img1.jpg?size=3", b + "/img2.jpg?size=3"}},
      {"/d/x[8-11]", {b + "/d/x8", b + "/d/x9", b + "/d/x10", b + "/d/x11"}},
      {"/x[09-10]", {b + "/x09", b + "/x10"}},
      // The high text saturates; the counter stops at the largest int.
      {"/x[2147483647-99999999999].jpg", {b + "/x2147483647.jpg"}},
      {"/x[2147483646-2147483647]", {b + "/x2147483646", b + "/x2147483647"}},
      // No batch: each shape that does not fit.
      {"/img/tu[0000-100].jpg", {}},
      {"/img/tu[10-9].jpg", {}},
      {"/p[1-3]/x.jpg", {}},
      {"/x[-5].jpg", {}},
      {"/x[1-].jpg", {}},
      {"/x[1-2].jpg?a=/b", {}},
      {"/x[]", {}},
      {"/x]1-2[", {}},
      {"/x[12]", {}},
      {"/x[1-2", {}},
      {"/", {}},
      {"/dir/", {}},
      {"", {}},
  };
  for (const ListCase& c : cases) {
    CImpBroxCmd cmd;
    SetUpDriver(cmd, c.path);
    EXPECT_EQ(c.urls.empty() ? 0 : 1, cmd.ExpandBatchUrls(0)) << c.path;
    EXPECT_EQ(c.urls, cmd.m_BatchUrls) << c.path;
    EXPECT_EQ(0, cmd.m_BatchTooLarge) << c.path;
  }
}

struct WidthCase {
  const char* segment;
  size_t count;
  std::vector<std::pair<size_t, std::string>> samples;
};

TEST(ExpandBatchUrlsTest, PadsNumbersToTheWidthOfTheLowText) {
  const WidthCase cases[] = {
      {"tu[0-100].jpg", 101, {{0, "tu0.jpg"}, {1, "tu1.jpg"}, {100, "tu100.jpg"}}},
      {"tu[00-100].jpg", 101, {{0, "tu00.jpg"}, {9, "tu09.jpg"}, {10, "tu10.jpg"}, {100, "tu100.jpg"}}},
      {"tu[000-100].jpg", 101, {{0, "tu000.jpg"}, {99, "tu099.jpg"}, {100, "tu100.jpg"}}},
      {"tu[ 1-100].jpg", 100, {{0, "tu01.jpg"}, {99, "tu100.jpg"}}},
  };
  for (const WidthCase& c : cases) {
    CImpBroxCmd cmd;
    SetUpDriver(cmd, std::string("/img/") + c.segment);
    ASSERT_EQ(1, cmd.ExpandBatchUrls(0)) << c.segment;
    ASSERT_EQ(c.count, cmd.m_BatchUrls.size()) << c.segment;
    for (const auto& sample : c.samples) {
      EXPECT_EQ("http://h:80/img/" + sample.second, cmd.m_BatchUrls[sample.first]) << c.segment;
    }
  }
}

TEST(ExpandBatchUrlsTest, BaseCarriesSchemeAndPortAlways) {
  const struct {
    int useHttps;
    unsigned short port;
    const char* first;
  } cases[] = {
      {0, 80, "http://h:80/x1"},
      {1, 443, "https://h:443/x1"},
      {1, 8443, "https://h:8443/x1"},
      {0, 8080, "http://h:8080/x1"},
  };
  for (const auto& c : cases) {
    CImpBroxCmd cmd;
    SetUpDriver(cmd, "/x[1-2]", c.port);
    ASSERT_EQ(1, cmd.ExpandBatchUrls(c.useHttps));
    EXPECT_EQ(c.first, cmd.m_BatchUrls[0]);
  }
}

TEST(ExpandBatchUrlsTest, RangesBeyondTheBoundAreRefused) {
  const std::string zeros(2000, '0');
  const struct {
    std::string path;
    int tooLarge;
  } cases[] = {
      {"/x[0-99999]", 0},
      {"/x[1-100000]", 0},
      {"/x[0-100000]", 1},
      {"/x[0-2147483647]", 1},
      {"/x[1-99999999999]", 1},
      // Few numbers but very long ones: bounded by the bytes of the list.
      {"/x[" + zeros + "-99999" + std::string(1995, 'a') + "]", 1},
  };
  for (const auto& c : cases) {
    CImpBroxCmd cmd;
    SetUpDriver(cmd, c.path);
    cmd.m_BatchUrls.push_back("stale");
    EXPECT_EQ(c.tooLarge ? 0 : 1, cmd.ExpandBatchUrls(0)) << c.path.substr(0, 20);
    EXPECT_EQ(c.tooLarge, cmd.m_BatchTooLarge) << c.path.substr(0, 20);
    EXPECT_EQ(c.tooLarge ? 0u : static_cast<size_t>(kMaxBatchUrls), cmd.m_BatchUrls.size());
  }
}

TEST(ExpandBatchUrlsTest, ExactDashCapitalODropsTheOutputPath) {
  // "-O" present: the path of "-o" goes, with or without a range.
  for (const char* path : {"/x[1-2]", "/plain.html"}) {
    CImpBroxCmd cmd;
    SetUpDriver(cmd, path);
    cmd.m_OutputPath = "out.html";
    cmd.ExpandBatchUrls(0);
    EXPECT_EQ("", cmd.m_OutputPath) << path;
  }
  // Only "-o": no batch, the path stays.
  CImpBroxCmd onlyLower;
  onlyLower.m_OutputToFile = 1;
  onlyLower.m_ArgParse.AddOption("-o", "out.html");
  onlyLower.m_OutputPath = "out.html";
  onlyLower.m_Host = "h";
  onlyLower.m_Port = 80;
  onlyLower.m_Path = "/x[1-2]";
  EXPECT_EQ(0, onlyLower.ExpandBatchUrls(0));
  EXPECT_EQ("out.html", onlyLower.m_OutputPath);
  // No output to a file: no lookup at all.
  CImpBroxCmd noFile;
  SetUpDriver(noFile, "/x[1-2]");
  noFile.m_OutputToFile = 0;
  noFile.m_OutputPath = "keep";
  EXPECT_EQ(0, noFile.ExpandBatchUrls(0));
  EXPECT_EQ("keep", noFile.m_OutputPath);
}

}  // namespace
