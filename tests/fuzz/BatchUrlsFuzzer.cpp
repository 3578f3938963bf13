// Batch expansion of a URL path, judged against the range rules read on
// their own: the count, the first and last numbers, every number's zero
// padding, and a refusal only past the limits. Input: a flags byte (1:
// https, 2: the URL names a port), then the path.
#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "engine/Url.h"
#include "frontend/BatchLimits.h"
#include "frontend/ImpBroxCmd.h"

namespace {

// A decimal number read as the C library's atoi reads it (leading white
// space, a sign, digits up to the first other character), kept within the
// 32-bit range.
long long AtoiWithin32Bits(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  int negative = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) value = 2147483648LL;
  }
  if (negative) return -value;
  return value > 2147483647LL ? 2147483647LL : value;
}

// The range of a path's last segment: the first "[" and the last "]" hold
// lo "-" hi, split at the first "-"; lo is not empty, lo <= hi, and lo is
// not written wider than hi.
struct BatchReference {
  std::string m_Directory;
  std::string m_Prefix;
  std::string m_Suffix;
  long long m_Low;
  long long m_High;
  size_t m_Width;
};

int FindRange(const std::string& path, BatchReference* range) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return 0;
  const std::string segment = path.substr(slash + 1);
  const size_t open = segment.find('[');
  const size_t close = segment.rfind(']');
  if (open == std::string::npos || close == std::string::npos || open >= close) return 0;
  const std::string inner = segment.substr(open + 1, close - open - 1);
  const size_t dash = inner.find('-');
  if (dash == std::string::npos || dash == 0) return 0;
  const std::string low = inner.substr(0, dash);
  const std::string high = inner.substr(dash + 1);
  range->m_Low = AtoiWithin32Bits(low);
  range->m_High = AtoiWithin32Bits(high);
  range->m_Width = low.size();
  if (range->m_Low > range->m_High || range->m_Width > high.size()) return 0;
  range->m_Directory = path.substr(0, slash);
  range->m_Prefix = segment.substr(0, open);
  range->m_Suffix = segment.substr(close + 1);
  return 1;
}

std::string Padded(long long number, size_t width) {
  std::string text = std::to_string(number);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

}  // namespace

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

  BatchReference range;
  if (!FindRange(cmd.m_Path, &range)) {
    FUZZ_CHECK(!expanded && !cmd.m_BatchTooLarge);
    return 0;
  }
  char portText[16];
  snprintf(portText, sizeof(portText), ":%d", static_cast<int>(cmd.m_Port));
  const std::string head = scheme + "://" + cmd.m_Host + portText + range.m_Directory + "/" + range.m_Prefix;
  const long long count = range.m_High - range.m_Low + 1;
  // Refused only when the range holds too many numbers, or its URLs, each
  // counted with a number of at least ten digits, too many bytes.
  const long long longest = range.m_Width > 10 ? static_cast<long long>(range.m_Width) : 10;
  const long long mostBytes =
      count * (static_cast<long long>(head.size() + range.m_Suffix.size()) + longest);
  if (!expanded) {
    FUZZ_CHECK(cmd.m_BatchTooLarge);
    FUZZ_CHECK(count > kMaxBatchUrls || mostBytes > kMaxBatchBytes);
    return 0;
  }
  FUZZ_CHECK(!cmd.m_BatchTooLarge);
  FUZZ_CHECK(count <= kMaxBatchUrls);
  // One URL per number from lo to hi, in order, each number padded with
  // zeros to the width of lo as written.
  FUZZ_CHECK(static_cast<long long>(cmd.m_BatchUrls.size()) == count);
  FUZZ_CHECK(cmd.m_BatchUrls.front() == head + Padded(range.m_Low, range.m_Width) + range.m_Suffix);
  FUZZ_CHECK(cmd.m_BatchUrls.back() == head + Padded(range.m_High, range.m_Width) + range.m_Suffix);
  long long bytes = 0;
  for (long long i = 0; i < count; ++i) {
    const std::string& each = cmd.m_BatchUrls[static_cast<size_t>(i)];
    bytes += static_cast<long long>(each.size());
    const std::string number = Padded(range.m_Low + i, range.m_Width);
    FUZZ_CHECK(each.size() == head.size() + number.size() + range.m_Suffix.size());
    FUZZ_CHECK(each.compare(0, head.size(), head) == 0);
    FUZZ_CHECK(each.compare(head.size(), number.size(), number) == 0);
    FUZZ_CHECK(each.compare(head.size() + number.size(), std::string::npos, range.m_Suffix) == 0);
  }
  FUZZ_CHECK(bytes <= kMaxBatchBytes);
  return 0;
}
