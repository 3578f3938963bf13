#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/PathSegment.h"
#include "engine/Url.h"
#include "frontend/BatchLimits.h"
#include "frontend/ImpBroxCmd.h"
#include "platform/CRuntime.h"

namespace {

// The port the batch base carries. When "-ssl" put "https://" in front of a
// URL written without a port, m_Port still holds 80 from the URL as written,
// while a single request of the same text connects to 443; splitting the
// final URL text again gives the port the single request would use, and the
// same port as m_Port in every other case.
unsigned short BatchPort(const std::string& url, unsigned short port, int useHttps) {
  if (!useHttps) return port;
  std::string scheme;
  std::string host;
  std::string path;
  unsigned short urlPort = 0;
  int urlTls = 0;
  if (ParseUrl(url.c_str(), scheme, &host, &path, &urlPort, &urlTls) && urlTls) return urlPort;
  return port;
}

// A range in a URL path's last segment: directory "/" prefix "[lo-hi]" suffix.
struct BatchRange {
  std::string m_Directory;
  std::string m_Prefix;
  std::string m_Suffix;
  int m_Low;
  int m_High;
  // The digits of lo as written: every number is zero-padded to it.
  size_t m_Width;
};

// 1 and the range when the last segment of path holds one, else 0: the first
// "[" and the last "]" enclose lo "-" hi, lo is not empty, lo <= hi and lo is
// written with no more digits than hi.
int FindBatchRange(const std::string& path, BatchRange* range) {
  std::string directory;
  std::string segment;
  if (!SplitLastSegment(path, "/", &directory, &segment) || segment.empty()) return 0;

  size_t a = segment.find('[');
  size_t b = segment.rfind(']');
  if (a == std::string::npos || b == std::string::npos || a >= b) return 0;
  std::string inner = segment.substr(a + 1, b - a - 1);
  if (inner.empty()) return 0;
  size_t m = inner.find('-');
  if (m == std::string::npos || m == 0) return 0;
  std::string lowText = inner.substr(0, m);
  std::string highText = inner.substr(m + 1);

  range->m_Low = AtoiSaturating(lowText.c_str());
  range->m_High = AtoiSaturating(highText.c_str());
  range->m_Width = lowText.size();
  if (range->m_Low > range->m_High) return 0;
  if (range->m_Width > highText.size()) return 0;
  range->m_Directory = directory;
  range->m_Prefix = segment.substr(0, a);
  range->m_Suffix = segment.substr(b + 1);
  return 1;
}

}  // namespace

int CImpBroxCmd::ExpandBatchUrls(int useHttps) {
  m_BatchUrls.clear();
  m_BatchTooLarge = 0;
  if (!m_OutputToFile) return 0;
  // Exact lookup: "-o" must not count here. Whenever "-O" is given the "-o"
  // path is dropped and the output gets its default name.
  if (!m_ArgParse.GetOption("-O", m_OutputPath, 0)) return 0;
  BatchRange range;
  if (!FindBatchRange(m_Path, &range)) return 0;

  // 64-bit count and counter: a range that ends at INT32_MAX neither
  // overflows nor loops.
  const int64_t count = static_cast<int64_t>(range.m_High) - range.m_Low + 1;
  char portText[16];
  snprintf(portText, sizeof(portText), ":%d", static_cast<int>(BatchPort(m_Url, m_Port, useHttps)));
  const std::string base = std::string(useHttps ? "https://" : "http://") + m_Host + portText;

  const int64_t longestNumber = range.m_Width > 10 ? static_cast<int64_t>(range.m_Width) : 10;
  const int64_t urlBytes = static_cast<int64_t>(base.size() + range.m_Directory.size() + 1 +
                                                range.m_Prefix.size() + range.m_Suffix.size()) +
                           longestNumber;
  if (count > kMaxBatchUrls || count * urlBytes > kMaxBatchBytes) {
    m_BatchTooLarge = 1;
    return 0;
  }

  m_BatchUrls.reserve(static_cast<size_t>(count));
  for (int64_t n = range.m_Low; n <= range.m_High; ++n) {
    char numberText[16];
    snprintf(numberText, sizeof(numberText), "%d", static_cast<int>(n));
    std::string number = numberText;
    if (number.size() < range.m_Width) number.insert(0, range.m_Width - number.size(), '0');
    m_BatchUrls.push_back(base + range.m_Directory + "/" + range.m_Prefix + number +
                          range.m_Suffix);
  }
  return 1;
}
