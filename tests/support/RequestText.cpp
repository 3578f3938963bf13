#include "support/RequestText.h"

#include <strings.h>

namespace {

std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string RequestLine(const std::string& request) { return request.substr(0, request.find("\r\n")); }

std::string RequestHead(const std::string& request) {
  size_t end = request.find("\r\n\r\n");
  return end == std::string::npos ? request : request.substr(0, end + 4);
}

std::string RequestBody(const std::string& request) {
  size_t end = request.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : request.substr(end + 4);
}

std::vector<std::string> RequestHeaders(const std::string& request, const std::string& name) {
  std::vector<std::string> values;
  std::string head = RequestHead(request);
  size_t lineStart = head.find("\r\n");  // the request line is no header
  while (lineStart != std::string::npos) {
    lineStart += 2;
    size_t lineEnd = head.find("\r\n", lineStart);
    std::string line = head.substr(lineStart, lineEnd == std::string::npos ? std::string::npos : lineEnd - lineStart);
    size_t colon = line.find(':');
    if (colon != std::string::npos && colon == name.size() && strncasecmp(line.c_str(), name.c_str(), colon) == 0) {
      values.push_back(TrimBlanks(line.substr(colon + 1)));
    }
    lineStart = lineEnd;
  }
  return values;
}

std::string RequestHeader(const std::string& request, const std::string& name) {
  std::vector<std::string> values = RequestHeaders(request, name);
  return values.empty() ? std::string() : values.front();
}

bool RequestHasHeader(const std::string& request, const std::string& name) {
  return !RequestHeaders(request, name).empty();
}

std::string DefaultRequestHeaders(const std::string& host) {
  return "Host: " + host +
         "\r\nAccept: */*\r\nAccept-Encoding: identity, gzip, deflate\r\nUser-Agent: \r\n";
}
