// The user's header text split into request headers.
#include <cstring>

#include "FuzzInput.h"
#include "frontend/ImpBroxCmd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CImpBroxCmd cmd;
  // Header text read from a file or the command line ends at a zero byte.
  cmd.m_HeadDataString.assign(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  const std::string text = cmd.m_HeadDataString;
  cmd.ParseHeadData();

  size_t bytes = 0;
  for (HeaderMap::const_iterator it = cmd.m_RequestHeaders.begin(); it != cmd.m_RequestHeaders.end(); ++it) {
    // A header line never spills into the request head as a line of its own.
    FUZZ_CHECK(it->first.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(it->second.find_first_of("\r\n") == std::string::npos);
    // A name ends before the first colon; a value comes trimmed of blanks, and
    // so does the name of a line that had a value (a line without a colon is
    // kept whole, blanks and all).
    FUZZ_CHECK(it->first.find(':') == std::string::npos);
    FUZZ_CHECK(it->second.empty() || (it->second.front() != ' ' && it->second.back() != ' '));
    if (!it->second.empty())
      FUZZ_CHECK(it->first.empty() || (it->first.front() != ' ' && it->first.back() != ' '));
    bytes += it->first.size() + it->second.size();
  }
  FUZZ_CHECK(bytes <= text.size());
  FUZZ_CHECK(cmd.m_RequestHeaders.size() <= text.size());

  // Parsing again gives the same headers (the text may have lost its CRs).
  const HeaderMap first = cmd.m_RequestHeaders;
  cmd.ParseHeadData();
  FUZZ_CHECK(cmd.m_RequestHeaders == first);
  return 0;
}
