#include "frontend/RequestData.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "frontend/ImpBroxCmd.h"
#include "frontend/PathCheck.h"
#include "frontend/TextHelpers.h"
#include "platform/FileSystem.h"

namespace {

// The request body length is an int, so no file above that is loaded.
const uint32_t kLargestLoad = INT_MAX;

// Finds the file named by value (a bare name lives in the program's own
// directory) and reads it whole into a block from the C heap followed by one
// zero byte. An empty file gives *block NULL and *size 0. Every failure
// (bad path, missing file, a directory, open, size, too big, allocation,
// read error or short read) gives 0 and leaves nothing allocated.
int ReadNamedFile(const std::string& value, CArgParse* argParse, char** block, uint32_t* size) {
  *block = NULL;
  *size = 0;
  int hasDir = 0;
  if (!CheckPathFile(value, &hasDir)) return 0;
  std::string path = hasDir ? value : argParse->GetModuleDir() + "/" + value;
  if (!IsFileExist(path.c_str())) return 0;

  FileHandle file = FileOpen(path.c_str(), FILE_OPEN_READ_EXISTING, FILE_SHARE_READERS);
  if (file == NULL) return 0;
  const int read = FileReadWhole(file, kLargestLoad, block, size);
  FileClose(file);
  return read;
}

}  // namespace

int CImpBroxCmd::LoadPostDataFile() {
  free(m_PostDataBuffer);
  m_PostDataBuffer = NULL;
  m_PostDataLength = 0;
  char* block = NULL;
  uint32_t size = 0;
  if (!ReadNamedFile(m_PostDataString, m_ArgParse, &block, &size)) return 0;
  m_PostDataBuffer = block;
  m_PostDataLength = size;
  return 1;
}

int CImpBroxCmd::LoadHeadDataFile() {
  char* block = NULL;
  uint32_t size = 0;
  if (!ReadNamedFile(m_HeadDataString, m_ArgParse, &block, &size)) return 0;
  // Header text ends at the first zero byte.
  if (block == NULL) {
    m_HeadDataString.clear();
  } else {
    m_HeadDataString = block;
    free(block);
  }
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
    *data = cmd.m_PostDataBuffer;
    size = cmd.m_PostDataLength;
  } else {
    *data = cmd.m_PostDataString.c_str();
    size = cmd.m_PostDataString.size();
  }
  *length = size > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}
