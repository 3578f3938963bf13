// Batch expansion of a URL path. Input: a flags byte (1: https, 2: the URL
// names a port), then the path.
#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "engine/Url.h"
#include "frontend/BatchLimits.h"
#include "frontend/ImpBroxCmd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFuzzInput input(data, size);
  const uint8_t flags = input.TakeByte();
  const std::string path = input.TakeRest().c_str();

  const int https = flags & 1;
  std::string url = std::string(https ? "https://" : "http://") + "fuzz.test";
  if (flags & 2) url += ":8443";
  url += "/" + path;

  CImpBroxCmd cmd;
  cmd.m_Url = url;
  std::string scheme;
  int useTls = 0;
  if (!ParseUrl(url.c_str(), scheme, &cmd.m_Host, &cmd.m_Path, &cmd.m_Port, &useTls)) return 0;
  cmd.m_OutputToFile = 1;
  cmd.m_OutputPath = "given.out";
  cmd.m_ArgParse.AddOption("-O", "");

  const int expanded = cmd.ExpandBatchUrls(useTls);
  FUZZ_CHECK(cmd.m_OutputPath.empty());
  FUZZ_CHECK(expanded == (cmd.m_BatchUrls.empty() ? 0 : 1));
  if (!expanded) return 0;
  FUZZ_CHECK(!cmd.m_BatchTooLarge);
  FUZZ_CHECK(static_cast<long long>(cmd.m_BatchUrls.size()) <= kMaxBatchUrls);

  // Every URL is the base, the URL's directory and the segment's prefix,
  // then a number, then the segment's suffix.
  char portText[16];
  snprintf(portText, sizeof(portText), ":%d", static_cast<int>(cmd.m_Port));
  const size_t slash = cmd.m_Path.rfind('/');
  const std::string segment = cmd.m_Path.substr(slash + 1);
  const std::string head = scheme + "://" + cmd.m_Host + portText + cmd.m_Path.substr(0, slash + 1) +
                           segment.substr(0, segment.find('['));
  const std::string tail = segment.substr(segment.rfind(']') + 1);
  long long bytes = 0;
  std::string previous;
  for (const std::string& each : cmd.m_BatchUrls) {
    bytes += static_cast<long long>(each.size());
    FUZZ_CHECK(each.size() >= head.size() + tail.size());
    FUZZ_CHECK(each.compare(0, head.size(), head) == 0);
    FUZZ_CHECK(each.compare(each.size() - tail.size(), tail.size(), tail) == 0);
    const std::string number = each.substr(head.size(), each.size() - head.size() - tail.size());
    FUZZ_CHECK(!number.empty() && number.find_first_not_of("0123456789") == std::string::npos);
    FUZZ_CHECK(each != previous);
    previous = each;
  }
  FUZZ_CHECK(bytes <= kMaxBatchBytes);
  return 0;
}
