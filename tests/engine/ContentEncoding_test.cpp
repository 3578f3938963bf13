#include "engine/ContentEncoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const ContentCoding G = CODING_GZIP;
const ContentCoding D = CODING_DEFLATE;

// What one Content-Encoding value says: the codings to undo (in the order
// applied), whether the program can undo them, and the -compress suffix.
TEST(ContentEncoding, ListsAreReadEntryByEntry) {
  const struct {
    const char* value;
    int known;
    std::vector<ContentCoding> codings;
    const char* suffix;
  } cases[] = {
      {"gzip", 1, {G}, ".gzip"},
      {"X-Gzip", 1, {G}, ".gzip"},
      {"DEFLATE", 1, {D}, ".deflate"},
      {"", 1, {}, ""},
      {"identity", 1, {}, ""},
      {"deflate, gzip", 1, {D, G}, ".gzip"},
      {"gzip,deflate", 1, {G, D}, ".deflate"},
      {"deflate, identity, gzip", 1, {D, G}, ".gzip"},
      // The outermost coding is the last that is not identity.
      {"gzip, identity", 1, {G}, ".gzip"},
      {" deflate\t,\t gzip ", 1, {D, G}, ".gzip"},
      {"gzip,, ,deflate,", 1, {G, D}, ".deflate"},
      {"gzip, gzip, gzip, gzip", 1, {G, G, G, G}, ".gzip"},
      // More codings than are undone: the body stays as sent, still named.
      {"gzip, gzip, gzip, gzip, deflate", 0, {}, ".deflate"},
      {"gzip, identity, identity, gzip, gzip, gzip", 1, {G, G, G, G}, ".gzip"},
      {"br", 0, {}, ""},
      {"gzip, br", 0, {}, ""},
      {"br, gzip", 0, {}, ".gzip"},
      {"gzip;q=1", 0, {}, ""},
      {"g zip", 0, {}, ""},
      {"gzipx", 0, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    std::vector<ContentCoding> codings = {D, D};
    EXPECT_EQ(c.known, ReadContentCodings(c.value, codings));
    EXPECT_EQ(c.codings, codings);
    EXPECT_EQ(c.known && !c.codings.empty() ? 1 : 0, IsCompressedEncoding(c.value));
    EXPECT_STREQ(c.suffix, CodingSuffix(c.value));
  }
}

}  // namespace
