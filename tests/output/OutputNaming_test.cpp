#include "frontend/OutputNaming.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/HttpClient.h"
#include "frontend/ImpBroxCmd.h"
#include "support/TempDir.h"

namespace {

// Replaces "$M" by the program's directory and "$T" by an existing directory.
std::string Expand(std::string text, const std::string& moduleDir, const std::string& targetDir) {
  for (size_t at; (at = text.find("$M")) != std::string::npos;) text.replace(at, 2, moduleDir);
  for (size_t at; (at = text.find("$T")) != std::string::npos;) text.replace(at, 2, targetDir);
  return text;
}

struct NamingCase {
  const char* m_Label;
  const char* m_OutputPath;
  const char* m_Host;
  const char* m_Path;
  const char* m_ContentType;  // run through the parser when not NULL
  const char* m_Disposition;  // run through the parser when not NULL
  int m_Origin;
  int m_Compress;
  const char* m_Encoding;
  int m_Result;
  const char* m_Expected;
};

const NamingCase kNamingCases[] = {
    {"existing directory takes the URL name", "$T", "h", "/files/report", "application/pdf", NULL,
     0, 0, "", 1, "$T/report"},
    {"existing directory takes the disposition name", "$T", "h", "/x", NULL,
     "attachment; filename=r.pdf", 0, 0, "", 1, "$T/r.pdf"},
    {"bare -o name goes to the program directory", "page.html", "h", "/a/b.zip", NULL,
     "attachment; filename=other.pdf", 0, 0, "", 1, "$M/page.html"},
    {"-o with a directory part stays as written", "$T\\page.html", "h", "/", NULL, NULL, 0, 0, "",
     1, "$T\\page.html"},
    {"-o in a missing directory fails", "$T/missing/page.html", "h", "/", NULL, NULL, 0, 0, "", 0,
     "$T/missing/page.html"},
    {"-o with a reserved character fails", "a:b", "h", "/", NULL, NULL, 0, 0, "", 0, "a:b"},
    {"no path gives the host name", "", "example.com", "", NULL, NULL, 0, 0, "", 1,
     "$M/example.com.html"},
    {"path / gives the host name", "", "example.com", "/", NULL, NULL, 0, 0, "", 1,
     "$M/example.com.html"},
    {"segment without extension keeps none", "", "h", "/files/report", "application/pdf", NULL, 0,
     0, "", 1, "$M/report"},
    {"leading dot gets the extension", "", "h", "/.profile", "text/html", NULL, 0, 0, "", 1,
     "$M/.profile.html"},
    {"query text is cleaned", "", "h", "/dl?id=5", NULL, NULL, 0, 0, "", 1, "$M/dl_id=5"},
    {"slash in the query moves the segment", "", "h", "/get?f=a/b.zip", NULL, NULL, 0, 0, "", 1,
     "$M/b.zip"},
    {"disposition file name", "", "h", "/x/y.bin", "text/html", "attachment; filename=report.pdf",
     0, 0, "", 1, "$M/report.pdf"},
    {"quoted disposition file name", "", "h", "/x/y.bin", NULL,
     "attachment; filename=\"report.pdf\"", 0, 0, "", 1, "$M/report.pdf"},
    {"disposition name takes the extension", "", "h", "/x/y.bin", "image/png",
     "form-data; name=file", 0, 0, "", 1, "$M/file.png"},
    {"blanks around = are not recognised", "", "h", "/a/page.txt", NULL,
     "attachment; filename = x.txt", 0, 0, "", 1, "$M/page.txt"},
    {"quoted file name is cut at ;", "", "h", "/a/page.txt", NULL,
     "attachment; filename=\"a;b.txt\"", 0, 0, "", 1, "$M/a"},
    {"origin wins over compress", "", "h", "/a.txt", NULL, NULL, 1, 1, "gzip", 1,
     "$M/a.txt.origin"},
    {"compress with GZIP", "", "h", "/a.txt", NULL, NULL, 0, 1, "GZIP", 1, "$M/a.txt.gzip"},
    {"compress with deflate", "page.html", "h", "/", NULL, NULL, 0, 1, "deflate", 1,
     "$M/page.html.deflate"},
    {"compress with another coding", "", "h", "/a.txt", NULL, NULL, 0, 1, "br", 1, "$M/a.txt"},
    {"coding without compress adds nothing", "", "h", "/a.txt", NULL, NULL, 0, 0, "gzip", 1,
     "$M/a.txt"},
    // A server must not place a file outside the target directory.
    {"parent component is dropped", "", "h", "/u", NULL, "attachment; filename=../x", 0, 0, "", 1,
     "$M/x"},
    {"backslash parent component is dropped", "", "h", "/u", NULL,
     "attachment; filename=..\\x", 0, 0, "", 1, "$M/x"},
    {"absolute path is cut to its name", "$T", "h", "/u", NULL, "attachment; filename=/etc/x", 0,
     0, "", 1, "$T/x"},
    {"inner directory is dropped", "", "h", "/u", NULL, "attachment; filename=\"a/b\"", 0, 0, "",
     1, "$M/b"},
    {"empty file name falls back to the URL", "", "h", "/u.txt", NULL,
     "attachment; filename=\"\"", 0, 0, "", 1, "$M/u.txt"},
    {"file name .. falls back to the URL", "", "h", "/u.txt", NULL, "attachment; filename=..", 0,
     0, "", 1, "$M/u.txt"},
    {"file name ending in a separator falls back", "", "h", "/", NULL,
     "attachment; filename=dir/", 0, 0, "", 1, "$M/h.html"},
    {"unusable file name falls back to the name", "", "h", "/u.txt", "image/png",
     "form-data; name=pic; filename=../..", 0, 0, "", 1, "$M/pic.png"},
    {"unusable name falls back to the host", "", "h", "/", "text/html", "form-data; name=.", 0, 0,
     "", 1, "$M/h.html"},
    {"name is cut to its last component", "", "h", "/", "text/html", "form-data; name=a\\b", 0, 0,
     "", 1, "$M/b.html"},
    {"reserved characters are replaced", "", "h", "/", NULL,
     "attachment; filename=\"a:b*c?d<e>f|g\"", 0, 0, "", 1, "$M/a_b_c_d_e_f_g"},
    {"terminal escapes are replaced", "", "h", "/", NULL,
     "attachment; filename=a\x1b[2Jb\x07\x7f.txt", 0, 0, "", 1, "$M/a_[2Jb__.txt"},
    {"host is cleaned like a segment", "", "we|ird*h", "/", NULL, NULL, 0, 0, "", 1,
     "$M/we_ird_h.html"},
    {"URL segment .. gives the host name", "", "h", "/a/..", NULL, NULL, 0, 0, "", 1,
     "$M/h.html"},
};

void PrintTo(const NamingCase& c, std::ostream* os) { *os << c.m_Label; }

class OutputNamingTest : public ::testing::TestWithParam<NamingCase> {};

TEST_P(OutputNamingTest, ChoosesThePath) {
  const NamingCase& c = GetParam();
  TempDir module;
  TempDir target;
  CImpBroxCmd cmd;
  cmd.m_ArgParse.m_ModuleDir = module.Path();
  cmd.m_OutputPath = Expand(c.m_OutputPath, module.Path(), target.Path());
  cmd.m_Host = c.m_Host;
  cmd.m_Path = c.m_Path;
  if (c.m_ContentType != NULL) ParseContentType(c.m_ContentType, cmd);
  if (c.m_Disposition != NULL) ParseContentDisposition(c.m_Disposition, cmd);
  cmd.m_Origin = c.m_Origin;
  cmd.m_Compress = c.m_Compress;
  CHttpClient answer;
  answer.m_ContentEncoding = c.m_Encoding;
  cmd.m_Answer = &answer;

  std::string path = "stale";
  EXPECT_EQ(c.m_Result, cmd.GetOutputPathFile(path));
  EXPECT_EQ(Expand(c.m_Expected, module.Path(), target.Path()), path);
}

INSTANTIATE_TEST_SUITE_P(Table, OutputNamingTest, ::testing::ValuesIn(kNamingCases),
                         [](const ::testing::TestParamInfo<NamingCase>& testInfo) {
                           std::string name;
                           for (const char* p = testInfo.param.m_Label; *p; ++p) {
                             name += isalnum((unsigned char)*p) ? *p : '_';
                           }
                           return name;
                         });

TEST(OutputNaming, MakeOutputPathFileAddsNoSuffix) {
  TempDir module;
  CImpBroxCmd cmd;
  cmd.m_ArgParse.m_ModuleDir = module.Path();
  cmd.m_Path = "/a.txt";
  cmd.m_Origin = 1;
  std::string path;
  EXPECT_EQ(1, cmd.MakeOutputPathFile(path));
  EXPECT_EQ(module.Path() + "/a.txt", path);
}

struct ContentTypeCase {
  const char* m_Value;
  const char* m_Expected;  // media type afterwards; it starts as "old/type"
};

TEST(ContentTypeParser, RecordsTheMediaType) {
  const ContentTypeCase cases[] = {
      {"text/html; charset=UTF-8", "text/html"},
      {"  text/plain  ", "text/plain"},
      {"charset=utf-8", "old/type"},
      {"", "old/type"},
      {";;", "old/type"},
      {"a/b; c/d", "c/d"},
      {"\ttext/html", "\ttext/html"},
      {"IMAGE/JPEG;q=1", "IMAGE/JPEG"},
  };
  for (const ContentTypeCase& c : cases) {
    CImpBroxCmd cmd;
    cmd.m_MediaType = "old/type";
    EXPECT_EQ(1, ParseContentType(c.m_Value, cmd));
    EXPECT_EQ(c.m_Expected, cmd.m_MediaType) << "value: " << c.m_Value;
  }
}

struct DispositionCase {
  const char* m_Value;
  const char* m_Name;      // starts as "oldname"
  const char* m_FileName;  // starts as "oldfile"
};

TEST(ContentDispositionParser, RecordsNameAndFileName) {
  const DispositionCase cases[] = {
      {"attachment; filename=report.pdf", "oldname", "report.pdf"},
      {"attachment; filename=\"report.pdf\"", "oldname", "report.pdf"},
      {"attachment; filename=\"\"report.pdf\"\"", "oldname", "report.pdf"},
      {"attachment; filename=  \"a b\"  ", "oldname", "a b"},
      {"form-data; name=\"file\"; filename=\"a.txt\"", "file", "a.txt"},
      {"form-data; NAME=n; FileName=f", "n", "f"},
      {"attachment; filename*=UTF-8''x.txt", "oldname", "oldfile"},
      {"attachment; filename = x.txt", "oldname", "oldfile"},
      {"attachment", "oldname", "oldfile"},
      {"attachment; filename=a=b", "oldname", "a=b"},
      {"attachment; filename=\"a\"b\"", "oldname", "a\"b"},
      {"inline; filename=one; filename=two", "oldname", "two"},
  };
  for (const DispositionCase& c : cases) {
    CImpBroxCmd cmd;
    cmd.m_DispositionName = "oldname";
    cmd.m_DispositionFileName = "oldfile";
    EXPECT_EQ(1, ParseContentDisposition(c.m_Value, cmd));
    EXPECT_EQ(c.m_Name, cmd.m_DispositionName) << "value: " << c.m_Value;
    EXPECT_EQ(c.m_FileName, cmd.m_DispositionFileName) << "value: " << c.m_Value;
  }
}

TEST(ExtensionTable, MapsTheSubtype) {
  const struct {
    const char* m_MediaType;
    const char* m_Ext;
  } cases[] = {
      {"image/png", ".png"},
      {"image/x-png", ".png"},
      {"text/html", ".html"},
      {"application/html", ".html"},
      {"application/msword", ".doc"},
      {"application/pdf", ".pdf"},
      {"video/mpeg4", ".mp4"},
      {"application/vnd.ms-powerpoint", ".ppt"},
      {"IMAGE/JPEG", ".jpeg"},
      {"image/x-jpg", ".jpeg"},
      {"image/tiff", ".tiff"},
      {"image/TIF", ".tiff"},
      {"image/jpg", ""},
      {"image/", ""},
      {"png", ".png"},
      {"/png", ""},
      {"", ""},
      {"text/html/x", ""},
  };
  for (const auto& c : cases) {
    CImpBroxCmd cmd;
    cmd.m_MediaType = c.m_MediaType;
    EXPECT_EQ(c.m_Ext, GetExtByContentType(cmd)) << "media type: " << c.m_MediaType;
  }
}

}  // namespace
