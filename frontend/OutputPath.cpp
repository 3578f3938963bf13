#include <string>

#include "frontend/ArgParse.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/OutputNaming.h"
#include "frontend/PathCheck.h"
#include "platform/CRuntime.h"

namespace {

std::string JoinDir(const std::string& dir, const std::string& name) { return dir + "/" + name; }

}  // namespace

int CImpBroxCmd::MakeOutputPathFile(std::string& pathFile) {
  pathFile = m_OutputPath;
  std::string dir = m_ArgParse->GetModuleDir();
  if (!m_OutputPath.empty()) {
    if (IsDirExist(m_OutputPath.c_str())) {
      dir = m_OutputPath;
    } else {
      int hasDir = 0;
      if (!CheckPathFile(m_OutputPath, &hasDir)) return 0;
      // A bare name goes to the program's directory, not the current one.
      if (!hasDir) pathFile = JoinDir(dir, m_OutputPath);
      return 1;
    }
  }
  // Names from the server are cut to one component inside the target
  // directory; an unusable one counts as not sent.
  std::string fileName = CleanResponseFileName(m_DispositionFileName);
  if (!fileName.empty()) {
    pathFile = JoinDir(dir, fileName);
    return 1;
  }
  std::string ext = GetExtByContentType(*this);
  std::string name = CleanResponseFileName(m_DispositionName);
  if (!name.empty()) {
    pathFile = JoinDir(dir, name + ext);
    return 1;
  }
  std::string host = m_Host;
  ReplaceReservedChars(host);
  size_t slash = m_Path.rfind('/');
  std::string segment;
  if (slash != std::string::npos) segment = m_Path.substr(slash + 1);
  ReplaceReservedChars(segment);
  // "." and ".." name directories, not files.
  if (segment.empty() || segment == "." || segment == "..") {
    pathFile = JoinDir(dir, host + ".html");
    return 1;
  }
  size_t dot = segment.rfind('.');
  if (dot == 0) {
    pathFile = JoinDir(dir, segment + ext);
  } else {
    pathFile = JoinDir(dir, segment);
  }
  return 1;
}

int CImpBroxCmd::GetOutputPathFile(std::string& pathFile) {
  if (!MakeOutputPathFile(pathFile)) return 0;
  if (m_Origin) {
    pathFile += ".origin";
    return 1;
  }
  if (m_Compress) {
    if (StrICmp(m_ContentEncoding.c_str(), "gzip") == 0) {
      pathFile += ".gzip";
    } else if (StrICmp(m_ContentEncoding.c_str(), "deflate") == 0) {
      pathFile += ".deflate";
    }
  }
  return 1;
}
