#include <gtest/gtest.h>

#include <openssl/crypto.h>

#include <string>
#include <vector>

#include "CmdlineSupport.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/OptionTable.h"
#include "support/TempDir.h"

namespace {

struct Outcome {
  int result;
  std::string output;
};

Outcome RunParse(CImpBroxCmd& cmd, const std::vector<std::string>& args) {
  ArgVector argv(args);
  Outcome outcome;
  outcome.result = 0;
  outcome.output = CaptureStdout([&] { outcome.result = cmd.ParseCommandLine(argv.Argc(), argv.Argv()); });
  return outcome;
}

Outcome RunParse(const std::vector<std::string>& args) {
  CImpBroxCmd cmd;
  return RunParse(cmd, args);
}

std::string ExpectedUsage() {
  std::string golden = TempDir::ReadFile(std::string(ZELVORA_SOURCE_DIR) + "/tests/cmdline/usage.golden");
  const std::string marker = "@OPENSSL_VERSION@";
  size_t at = golden.find(marker);
  if (at != std::string::npos) golden.replace(at, marker.size(), OpenSSL_version(OPENSSL_VERSION));
  return golden;
}

TEST(UsageTest, PrintsTheUsageTextByteForByte) {
  const std::string expected = ExpectedUsage();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(expected, CaptureStdout(PrintUsage));
  // Thirty lines, only the second one ends in a bare line feed.
  size_t lineFeeds = 0;
  size_t bare = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] != '\n') continue;
    ++lineFeeds;
    if (i == 0 || expected[i - 1] != '\r') ++bare;
  }
  EXPECT_EQ(32u, lineFeeds);  // lines 3 and 20 end with an empty line
  EXPECT_EQ(1u, bare);
}

struct StopCase {
  const char* what;
  std::vector<std::string> args;
  std::string output;  // "usage" stands for the usage text
};

// Every way ParseCommandLine stops, each with its one message; where several
// checks would fail, the first in the check order is the one reported.
TEST(ParseCommandLineTest, StopsWithExactlyOneMessage) {
  TempDir dir;
  const std::string tmp = dir.Path();
  TempDir::WriteFile(dir.File("plain.txt"), "x");
  const std::string missingParent = tmp + "/no/such";
  const std::string urlMessage = "Error : URL(ftp://host/x) is not valid.\r\n";
  const std::string batchMessage = "Error: output path not exist.\r\n";
  const std::string tooLargeMessage = "Error: batch range is too large.\r\n";
  const std::string uploadEmpty = "Error: upload file is empty.\r\n";
  const std::string uploadMissing = "Error: Upload PathFile is not exist.\r\n";
  const std::string postMessage = "Error : post data pathfile is not valid.\r\n";
  const std::string headMessage = "Error : head data pathfile is not valid.\r\n";
  const StopCase cases[] = {
      {"no arguments", {}, "usage"},
      {"only options", {"-head", "-progress"}, "usage"},
      {"URL taken as the value of -o", {"-o", "http://h/"}, "usage"},
      {"-HELP", {"http://h/", "-HELP"}, "usage"},
      {"-?", {"http://h/", "-?"}, "usage"},
      {"help comes before the URL check", {"ftp://host/x", "-help"}, "usage"},
      {"scheme ftp", {"ftp://host/x"}, urlMessage},
      {"URL check before everything else", {"ftp://host/x", "-u", "-d", "none", "-file"}, urlMessage},
      {"empty authority", {"http:///x"}, "Error : URL(http:///x) is not valid.\r\n"},
      {"batch directory with a missing parent", {"http://h/x[1-2]", "-O", "-p", missingParent},
       batchMessage},
      {"batch directory that is a file", {"http://h/x[1-2]", "-O", "-p", dir.File("plain.txt")},
       batchMessage},
      {"batch directory before the upload", {"http://h/x[1-2]", "-O", "-p", missingParent, "-u"},
       batchMessage},
      {"range too large", {"http://h/x[0-4000000000]", "-O"}, tooLargeMessage},
      {"range too large before the upload", {"http://h/x[0-4000000000]", "-O", "-u"}, tooLargeMessage},
      {"-u without a value", {"http://h/", "-u"}, uploadEmpty},
      {"-u followed by an option", {"http://h/", "-u", "-head"}, uploadEmpty},
      {"upload directory part missing", {"http://h/", "-u", tmp + "/none/a.txt"}, uploadMissing},
      {"upload file missing", {"http://h/", "-u", dir.File("none.txt")}, uploadMissing},
      {"upload path names a directory", {"http://h/", "-u", tmp + "/"}, uploadMissing},
      {"upload bare name with a reserved character", {"http://h/", "-u", "a?b"}, uploadMissing},
      {"upload bare name not in the program directory", {"http://h/", "-u", "zelvora-none.txt"},
       uploadMissing},
      {"upload before post data", {"http://h/", "-u", dir.File("none"), "-d", dir.File("none"), "-file"},
       uploadMissing},
      {"post data file missing", {"http://h/", "-d", dir.File("none"), "-file"}, postMessage},
      {"post data file is a directory", {"http://h/", "-d", tmp, "-file"}, postMessage},
      {"post data before headers",
       {"http://h/", "-h", tmp, "-file", "-d", dir.File("none"), "-file"}, postMessage},
      {"header file is a directory", {"http://h/", "-h", tmp, "-file"}, headMessage},
      {"header file missing", {"http://h/", "-H", dir.File("none"), "-FILE"}, headMessage},
  };
  const std::string usage = ExpectedUsage();
  for (const StopCase& c : cases) {
    Outcome outcome = RunParse(c.args);
    EXPECT_EQ(0, outcome.result) << c.what;
    EXPECT_EQ(c.output == "usage" ? usage : c.output, outcome.output) << c.what;
  }
  EXPECT_FALSE(TempDir::Exists(missingParent));
}

TEST(ParseCommandLineTest, ReadsEveryOptionIntoTheDriver) {
  CImpBroxCmd cmd;
  Outcome outcome = RunParse(cmd, {"http://host:8080/a/b?q=1", "-o", "out.html", "-d", "x=1", "-h",
                              "A: 1\r\nB: 2", "-step", "512", "-head", "-origin", "-compress",
                              "-append", "-progress", "-p", "/nowhere", "second"});
  ASSERT_EQ(1, outcome.result);
  EXPECT_EQ("", outcome.output);
  EXPECT_EQ("http://host:8080/a/b?q=1", cmd.m_Url);
  EXPECT_EQ("host", cmd.m_Host);
  EXPECT_EQ("/a/b?q=1", cmd.m_Path);
  EXPECT_EQ(8080, cmd.m_Port);
  EXPECT_EQ(1, cmd.m_OutputToFile);
  EXPECT_EQ("out.html", cmd.m_OutputPath);
  EXPECT_EQ(0, cmd.m_Upload);
  EXPECT_EQ(1, cmd.m_PostData);
  EXPECT_EQ("x=1", cmd.m_PostDataString);
  EXPECT_EQ(0, cmd.m_PostDataIsFile);
  EXPECT_TRUE(cmd.m_PostDataBuffer.empty());
  EXPECT_EQ(1, cmd.m_HeadData);
  EXPECT_EQ(0, cmd.m_HeadDataIsFile);
  EXPECT_EQ(2u, cmd.m_RequestHeaders.size());
  EXPECT_EQ("2", cmd.m_RequestHeaders["B"]);
  EXPECT_EQ(1, cmd.m_Step);
  EXPECT_EQ(512, cmd.m_StepSize);
  EXPECT_EQ(1, cmd.m_HeadOnly);
  EXPECT_EQ(1, cmd.m_Origin);
  EXPECT_EQ(1, cmd.m_Compress);
  EXPECT_EQ(1, cmd.m_Append);
  EXPECT_EQ(1, cmd.m_Progress);
  // Not a batch: "-p" is kept but nothing is tested or created.
  EXPECT_EQ("/nowhere", cmd.m_BatchDir);
  EXPECT_TRUE(cmd.m_BatchUrls.empty());

  CImpBroxCmd bare;
  ASSERT_EQ(1, RunParse(bare, {"host"}).result);
  EXPECT_EQ(0, bare.m_OutputToFile + bare.m_Upload + bare.m_PostData + bare.m_HeadData +
                   bare.m_HeadOnly + bare.m_Origin + bare.m_Compress + bare.m_Append +
                   bare.m_Step + bare.m_Progress);
  EXPECT_TRUE(bare.m_RequestHeaders.empty());
}

TEST(ParseCommandLineTest, StepSizeIsTakenOnlyWithinItsRange) {
  const struct {
    std::vector<std::string> stepArgs;
    int step;
    int size;
  } cases[] = {
      {{"-step", "65535"}, 1, 65535}, {{"-step", "1"}, 1, 1},      {{"-step", "65536"}, 1, 1024},
      {{"-step", "0"}, 1, 1024},      {{"-step", "-5"}, 1, 1024},  {{"-step", "abc"}, 1, 1024},
      {{"-step"}, 1, 1024},           {{"-step", "99999999999"}, 1, 1024},
      {{"-step", "4294967297"}, 1, 1024},  // must not wrap round to 1
      {{}, 0, 1024},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"http://h/"};
    args.insert(args.end(), c.stepArgs.begin(), c.stepArgs.end());
    CImpBroxCmd cmd;
    ASSERT_EQ(1, RunParse(cmd, args).result);
    EXPECT_EQ(c.step, cmd.m_Step) << (c.stepArgs.size() > 1 ? c.stepArgs[1] : "-");
    EXPECT_EQ(c.size, cmd.m_StepSize) << (c.stepArgs.size() > 1 ? c.stepArgs[1] : "-");
  }
}

TEST(ParseCommandLineTest, SslPrefixesOnlyUrlsWithoutAScheme) {
  const struct {
    std::vector<std::string> args;
    const char* url;
    int port;
    const char* firstBatchUrl;
  } cases[] = {
      {{"host/x", "-ssl"}, "https://host/x", 80, ""},
      {{"http://host/x", "-SSL"}, "http://host/x", 80, ""},
      {{"https://host/x"}, "https://host/x", 443, ""},
      {{"host/x[1-2]", "-ssl", "-O"}, "https://host/x[1-2]", 80, "https://host:443/x1"},
      {{"host:8443/x[1-2]", "-ssl", "-O"}, "https://host:8443/x[1-2]", 8443, "https://host:8443/x1"},
      {{"http://host/x[1-2]", "-ssl", "-O"}, "http://host/x[1-2]", 80, "http://host:80/x1"},
      {{"https://host/x[1-2]", "-O"}, "https://host/x[1-2]", 443, "https://host:443/x1"},
      {{"https://host:80/x[1-2]", "-O"}, "https://host:80/x[1-2]", 80, "https://host:80/x1"},
  };
  for (const auto& c : cases) {
    CImpBroxCmd cmd;
    ASSERT_EQ(1, RunParse(cmd, c.args).result) << c.url;
    EXPECT_EQ(c.url, cmd.m_Url);
    EXPECT_EQ(c.port, cmd.m_Port) << c.url;
    EXPECT_EQ(c.firstBatchUrl, cmd.m_BatchUrls.empty() ? std::string() : cmd.m_BatchUrls[0]) << c.url;
  }
}

TEST(ParseCommandLineTest, CapitalODropsTheOutputPathWhicheverComesFirst) {
  const struct {
    std::vector<std::string> args;
    const char* outputPath;
  } cases[] = {
      {{"http://h/a.html", "-o", "out.html", "-O"}, ""},
      {{"http://h/a.html", "-O", "-o", "out.html"}, ""},
      {{"http://h/x[1-2]", "-o", "out.html", "-O"}, ""},
      {{"http://h/a.html", "-o", "out.html"}, "out.html"},
  };
  for (const auto& c : cases) {
    CImpBroxCmd cmd;
    ASSERT_EQ(1, RunParse(cmd, c.args).result);
    EXPECT_EQ(1, cmd.m_OutputToFile);
    EXPECT_EQ(c.outputPath, cmd.m_OutputPath);
  }
}

TEST(ParseCommandLineTest, BatchDirectoryIsCreatedOrDefaultsToTheProgramDirectory) {
  TempDir dir;
  const std::string created = dir.File("new");
  CImpBroxCmd cmd;
  ASSERT_EQ(1, RunParse(cmd, {"http://h/x[1-3].jpg", "-O", "-p", created}).result);
  EXPECT_TRUE(TempDir::Exists(created));
  EXPECT_EQ(created, cmd.m_BatchDir);
  EXPECT_EQ(3u, cmd.m_BatchUrls.size());

  CImpBroxCmd existing;
  ASSERT_EQ(1, RunParse(existing, {"http://h/x[1-3].jpg", "-O", "-p", created}).result);

  CImpBroxCmd noDir;
  ASSERT_EQ(1, RunParse(noDir, {"http://h/x[1-3].jpg", "-O"}).result);
  EXPECT_EQ(ExecutableDir(), noDir.m_BatchDir);

  // A single request never touches the "-p" directory.
  const std::string untouched = dir.File("single");
  CImpBroxCmd single;
  ASSERT_EQ(1, RunParse(single, {"http://h/x.jpg", "-O", "-p", untouched}).result);
  EXPECT_FALSE(TempDir::Exists(untouched));
}

TEST(ParseCommandLineTest, UploadBareNamesAreLookedUpInTheProgramDirectory) {
  ModuleDirFile file("cmdline-upload", "payload");
  CImpBroxCmd cmd;
  ASSERT_EQ(1, RunParse(cmd, {"http://h/up", "-u", file.Name()}).result);
  EXPECT_EQ(1, cmd.m_Upload);
  EXPECT_EQ(ExecutableDir() + "/" + file.Name(), cmd.m_UploadPath);

  // A path with a directory part is kept as written, backslashes included.
  TempDir dir;
  TempDir::WriteFile(dir.File("up.bin"), "x");
  const std::string written = dir.Path() + "\\up.bin";
  CImpBroxCmd withDir;
  ASSERT_EQ(1, RunParse(withDir, {"http://h/up", "-u", written}).result);
  EXPECT_EQ(written, withDir.m_UploadPath);

  // A file that lies only in the current directory is not found.
  TempDir cwd;
  TempDir::WriteFile(cwd.File("here-only.bin"), "x");
  char saved[4096];
  ASSERT_NE(nullptr, getcwd(saved, sizeof(saved)));
  ASSERT_EQ(0, chdir(cwd.Path().c_str()));
  Outcome outcome = RunParse({"http://h/up", "-u", "here-only.bin"});
  ASSERT_EQ(0, chdir(saved));
  EXPECT_EQ(0, outcome.result);
  EXPECT_EQ("Error: Upload PathFile is not exist.\r\n", outcome.output);
}

TEST(ParseCommandLineTest, FileFlagCountsOnlyDirectlyAfterTheOption) {
  ModuleDirFile post("cmdline-post", "user=a&pass=b");
  ModuleDirFile head("cmdline-head", "X-A: 1\r\nX-B: 2\r\n");
  const struct {
    std::vector<std::string> args;
    int postIsFile;
    int headIsFile;
  } cases[] = {
      {{"http://h/", "-d", post.Name(), "-file"}, 1, 0},
      {{"http://h/", "-d", post.Name()}, 0, 0},
      {{"http://h/", "-d", post.Name(), "-head", "-file"}, 0, 0},
      {{"http://h/", "-file", "-d", post.Name()}, 0, 0},
      {{"http://h/", "-d", post.Name(), "-file", "-h", head.Name(), "-file"}, 1, 1},
      {{"http://h/", "-h", head.Name(), "-File"}, 0, 1},
  };
  for (const auto& c : cases) {
    CImpBroxCmd cmd;
    ASSERT_EQ(1, RunParse(cmd, c.args).result);
    EXPECT_EQ(c.postIsFile, cmd.m_PostDataIsFile);
    EXPECT_EQ(c.headIsFile, cmd.m_HeadDataIsFile);
    if (c.postIsFile) {
      EXPECT_EQ("user=a&pass=b", cmd.m_PostDataBuffer);
    } else {
      EXPECT_TRUE(cmd.m_PostDataBuffer.empty());
    }
    if (c.headIsFile) {
      EXPECT_EQ(2u, cmd.m_RequestHeaders.size());
      EXPECT_EQ("2", cmd.m_RequestHeaders["X-B"]);
    } else if (cmd.m_HeadData) {
      // Without "-file" the file name itself is the header text.
      EXPECT_EQ(1u, cmd.m_RequestHeaders.count(head.Name()));
    }
  }
}

}  // namespace
