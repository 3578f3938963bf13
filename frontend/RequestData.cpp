#include "frontend/RequestData.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "frontend/ImpBroxCmd.h"
#include "frontend/PathCheck.h"
#include "frontend/TextHelpers.h"
#include "platform/FileOwner.h"
#include "platform/FileSystem.h"

namespace {

// The request body length is an int, so no file above that is loaded.
const uint32_t kLargestLoad = INT_MAX;

// Finds the file named by value (ResolvePathFile) and reads it whole into
// *contents. An empty file gives an empty text. Every failure (bad path,
// missing file, a directory, open, size, too big, allocation, read error or
// short read) gives 0 with *contents empty.
int ReadNamedFile(const std::string& value, CArgParse& argParse, std::string* contents) {
  contents->clear();
  std::string path;
  if (!ResolvePathFile(value, argParse.GetModuleDir(), &path)) return 0;
  if (!IsFileExist(path.c_str())) return 0;

  CFileOwner file(FileOpen(path.c_str(), FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS));
  if (file.get() == NULL) return 0;
  return FileReadWhole(file.get(), kLargestLoad, contents);
}

}  // namespace

int CImpBroxCmd::LoadPostDataFile() {
  m_PostDataLength = 0;
  if (!ReadNamedFile(m_PostDataString, m_ArgParse, &m_PostDataBuffer)) return 0;
  m_PostDataLength = static_cast<unsigned int>(m_PostDataBuffer.size());
  return 1;
}

int CImpBroxCmd::LoadHeadDataFile() {
  std::string contents;
  if (!ReadNamedFile(m_HeadDataString, m_ArgParse, &contents)) return 0;
  // Header text ends at the first zero byte.
  m_HeadDataString = contents.c_str();
  ParseHeadData();
  return 1;
}

void CImpBroxCmd::ParseHeadData() {
  m_RequestHeaders.clear();
  ReplaceAll(m_HeadDataString, "\r", "");
  std::string copy = m_HeadDataString + "\n";
  char* line = &copy[0];
  for (;;) {
    char* end = strchr(line, '\n');
    if (end == NULL) break;
    *end = '\0';
    if (*line == '\0') break;  // an empty line ends the header text
    char* colon = strchr(line, ':');
    if (colon != NULL) {
      *colon = '\0';
      char* value = colon + 1;
      TrimChar(line, ' ');
      TrimChar(value, ' ');
      m_RequestHeaders.insert(HeaderMap::value_type(line, value));
    } else {
      m_RequestHeaders.insert(HeaderMap::value_type(line, ""));
    }
    line = end + 1;
  }
}

void GetPostData(const CImpBroxCmd& cmd, const char** data, int* length) {
  *data = NULL;
  *length = 0;
  if (!cmd.m_PostData) return;
  size_t size;
  if (cmd.m_PostDataIsFile) {
    // An empty file sends no body, as no data at all.
    *data = cmd.m_PostDataLength == 0 ? NULL : cmd.m_PostDataBuffer.data();
    size = cmd.m_PostDataLength;
  } else {
    *data = cmd.m_PostDataString.c_str();
    size = cmd.m_PostDataString.size();
  }
  *length = size > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}
