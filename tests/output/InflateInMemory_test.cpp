#include "frontend/InflateInMemory.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/HttpClient.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/Inflater.h"
#include "support/BodyCoding.h"

namespace {

// Text that compresses well, so any expansion ratio can be reached by padding.
std::string Compressible(size_t size) {
  std::string text;
  for (size_t i = 0; text.size() < size; ++i) text += "line " + std::to_string(i % 7) + "\n";
  text.resize(size);
  return text;
}

// Bytes that hardly compress.
std::string Noise(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 12345;
  for (char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = (char)(state >> 24);
  }
  return bytes;
}

void PutLe32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += (char)((value >> (8 * i)) & 0xff);
}

// One gzip member. With totalSize not 0 the header gets an extra field that
// pads the member to exactly totalSize bytes.
std::string Gzip(const std::string& data, size_t totalSize = 0, uint32_t crcDelta = 0,
                 uint32_t sizeDelta = 0) {
  std::string body = RawDeflate(data);
  std::string out("\x1f\x8b\x08", 3);
  size_t bare = 10 + body.size() + 8;
  bool padded = totalSize != 0;
  out += (char)(padded ? 0x04 : 0x00);
  out += std::string("\0\0\0\0\0\xff", 6);
  if (padded) {
    if (totalSize < bare + 2) abort();
    size_t extra = totalSize - bare - 2;
    out += (char)(extra & 0xff);
    out += (char)(extra >> 8);
    out += std::string(extra, 'x');
  }
  out += body;
  uint32_t crc = (uint32_t)crc32(0, (const Bytef*)data.data(), (uInt)data.size());
  PutLe32(out, crc + crcDelta);
  PutLe32(out, (uint32_t)data.size() + sizeDelta);
  if (padded && out.size() != totalSize) abort();
  return out;
}

// Decodes data as a gzip body; "FAILED" when DecodeBody says 0.
std::string Gunzip(const std::string& data) {
  CImpBroxCmd cmd;
  CHttpClient answer;
  answer.m_ContentEncoding = "gzip";
  cmd.m_Answer = &answer;
  std::string out;
  if (!DecodeBody(cmd, data.data(), (unsigned int)data.size(), &out)) return "FAILED";
  return out;
}

// Any expansion decodes: the decoded body grows as it is made.
TEST(Gunzip, DecodesWhateverTheExpansion) {
  const struct {
    const char* m_Label;
    size_t m_Decoded;
    size_t m_Compressed;
  } cases[] = {
      {"less than ten times", 500, 100},   {"exactly ten times", 1000, 100},
      {"just over ten times", 1001, 100},  {"25 times", 2500, 100},
      {"a large ratio", 200000, 1000},     {"past the decoder's block", 3000000, 0},
  };
  for (const auto& c : cases) {
    std::string plain = Compressible(c.m_Decoded);
    EXPECT_EQ(plain, Gunzip(Gzip(plain, c.m_Compressed))) << c.m_Label;
  }
}

TEST(Gunzip, DamagedInputFails) {
  std::string plain = Compressible(2500);
  std::string good = Gzip(plain, 100);
  const struct {
    const char* m_Label;
    std::string m_Data;
  } cases[] = {
      {"trailer missing", good.substr(0, good.size() - 8)},
      {"cut in the middle", good.substr(0, good.size() - 12)},
      {"header only", good.substr(0, 10)},
      {"wrong CRC", Gzip(plain, 100, 1, 0)},
      {"wrong length", Gzip(plain, 100, 0, 1)},
      {"zlib wrapper", ZlibDeflate(plain)},
      {"raw deflate", RawDeflate(plain)},
      {"not compressed", "hello world"},
      // After a member only another whole member may follow.
      {"trailing garbage", good + "trailing garbage"},
      {"trailing zeros", good + std::string(8, '\0')},
      {"second member cut short", good + good.substr(0, 30)},
  };
  for (const auto& c : cases) EXPECT_EQ("FAILED", Gunzip(c.m_Data)) << c.m_Label;
}

// What concatenated .gz files give: every member, one after another.
TEST(Gunzip, DecodesEveryMember) {
  const std::string first = Compressible(3000);
  const std::string second = "second member";
  const struct {
    const char* m_Label;
    std::string m_Data;
    std::string m_Expected;
  } cases[] = {
      {"two members", Gzip(first) + Gzip(second), first + second},
      {"three members", Gzip(second) + Gzip(first) + Gzip(second), second + first + second},
      {"an empty member between", Gzip(first) + Gzip("") + Gzip(second), first + second},
  };
  for (const auto& c : cases) EXPECT_EQ(c.m_Expected, Gunzip(c.m_Data)) << c.m_Label;
}

TEST(ZlibHeader, IsRecognised) {
  EXPECT_EQ(1, HasZlibHeader("\x78\x9c", 2));
  EXPECT_EQ(1, HasZlibHeader("\x78\x01", 2));
  EXPECT_EQ(1, HasZlibHeader("\x78\xda", 2));
  EXPECT_EQ(0, HasZlibHeader("\x78\x9d", 2));  // check bits wrong
  EXPECT_EQ(0, HasZlibHeader("\x78\xbb", 2));  // preset dictionary
  EXPECT_EQ(0, HasZlibHeader("\x79\x9c", 2));  // not deflate
  EXPECT_EQ(0, HasZlibHeader("\x78", 1));
}

struct DecodeCase {
  const char* m_Label;
  const char* m_Encoding;
  std::string m_Data;
  bool m_Decodes;
  std::string m_Expected;
};

TEST(DecodeBody, ChoosesTheDecoderByEncoding) {
  std::string text = Compressible(3000);
  std::string noise = Noise(3000);
  const DecodeCase cases[] = {
      {"gzip", "gzip", Gzip(text), true, text},
      {"gzip in capitals", "GZIP", Gzip(text), true, text},
      {"x-gzip is gzip", "X-GZip", Gzip(text), true, text},
      {"raw deflate", "deflate", RawDeflate(noise), true, noise},
      {"raw deflate mixed case", "DeFlAtE", RawDeflate(noise), true, noise},
      {"zlib-wrapped deflate", "deflate", ZlibDeflate(noise), true, noise},
      // Repetitive text expands far more than the first room allows.
      {"raw deflate over fifteen times", "deflate", RawDeflate(Compressible(100000)), true,
       Compressible(100000)},
      {"zlib deflate over fifteen times", "deflate", ZlibDeflate(Compressible(100000)), true,
       Compressible(100000)},
      {"raw deflate cut short", "deflate", RawDeflate(Compressible(100000)).substr(0, 100), false,
       ""},
      // Nothing may follow the end of a deflate stream, as after a gzip member.
      {"raw deflate with trailing bytes", "deflate", RawDeflate(noise) + "xyz", false, ""},
      {"zlib deflate with trailing bytes", "deflate", ZlibDeflate(noise) + "x", false, ""},
      {"zlib data labelled gzip", "gzip", ZlibDeflate(text), false, ""},
      {"gzip data labelled deflate", "deflate", Gzip(text), false, ""},
      {"damaged deflate", "deflate", std::string("\x78\x9c\xff\xff\xff", 5), false, ""},
      {"identity", "identity", Gzip(text), false, ""},
      {"no coding", "", Gzip(text), false, ""},
      {"empty entries only", " , ,", Gzip(text), false, ""},
      {"unknown coding", "br", Gzip(text), false, ""},
      // Lists are undone from the back.
      {"gzip then identity", "gzip, identity", Gzip(text), true, text},
      {"identity then gzip, white space", "identity ,\tgzip\t", Gzip(text), true, text},
      {"deflate then gzip", "deflate, gzip", Gzip(RawDeflate(noise)), true, noise},
      {"deflate, identity, gzip", "deflate, identity, gzip", Gzip(ZlibDeflate(text)), true, text},
      {"gzip then deflate", "gzip,deflate", RawDeflate(Gzip(text)), true, text},
      {"gzip twice", "gzip, GZIP", Gzip(Gzip(text)), true, text},
      {"as many codings as undone", "gzip, gzip, gzip, gzip",
       Gzip(Gzip(Gzip(Gzip(text)))), true, text},
      {"one coding too many", "gzip, gzip, gzip, gzip, gzip",
       Gzip(Gzip(Gzip(Gzip(Gzip(text))))), false, ""},
      {"the list applied once only", "deflate, gzip", Gzip(text), false, ""},
      {"the list in the wrong order", "gzip, deflate", Gzip(RawDeflate(noise)), false, ""},
      {"inner stream with trailing bytes", "deflate, gzip", Gzip(RawDeflate(noise) + "x"),
       false, ""},
      {"a list holding an unknown coding", "gzip, br", Gzip(text), false, ""},
      {"an unknown coding inside", "br, gzip", Gzip(text), false, ""},
  };
  for (const DecodeCase& c : cases) {
    CImpBroxCmd cmd;
    CHttpClient answer;
    answer.m_ContentEncoding = c.m_Encoding;
    cmd.m_Answer = &answer;
    std::string out = "untouched";
    int result = DecodeBody(cmd, c.m_Data.data(), (unsigned int)c.m_Data.size(), &out);
    EXPECT_EQ(c.m_Decodes ? 1 : 0, result) << c.m_Label;
    EXPECT_EQ(c.m_Decodes ? c.m_Expected : "untouched", out) << c.m_Label;
  }
}

TEST(DecodeBody, EmptyBodyLeavesTheOutput) {
  CImpBroxCmd cmd;
  CHttpClient answer;
  cmd.m_Answer = &answer;
  const char* encodings[] = {"gzip", "deflate", "deflate, gzip"};
  for (const char* encoding : encodings) {
    answer.m_ContentEncoding = encoding;
    std::string out = "untouched";
    EXPECT_EQ(0, DecodeBody(cmd, "", 0, &out)) << encoding;
    EXPECT_EQ(0, DecodeBody(cmd, NULL, 10, &out)) << encoding;
    EXPECT_EQ("untouched", out) << encoding;
  }
}

TEST(IsCompressed, KnowsTheCodingsItCanUndo) {
  const struct {
    const char* m_Encoding;
    int m_Expected;
  } cases[] = {{"gzip", 1},           {"Gzip", 1},          {"DEFLATE", 1},
               {"deflate", 1},        {"x-gzip", 1},        {"gzip, deflate", 1},
               {" gzip", 1},          {"gzip,\tidentity", 1}, {"", 0},
               {"br", 0},             {"identity", 0},      {"identity, identity", 0},
               {"gzip, br", 0},       {"gzip;q=1", 0},      {"g zip", 0}};
  for (const auto& c : cases) {
    CImpBroxCmd cmd;
    CHttpClient answer;
    answer.m_ContentEncoding = c.m_Encoding;
    cmd.m_Answer = &answer;
    EXPECT_EQ(c.m_Expected, IsCompressed(cmd)) << c.m_Encoding;
  }
}

}  // namespace
