#include <string>

#include "frontend/ArgParse.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/OutputNaming.h"
#include "frontend/PathCheck.h"
#include "platform/CRuntime.h"

namespace {

std::string JoinDir(const std::string& dir, const std::string& name) { return dir + "/" + name; }

// The name the response gives: Content-Disposition's filename, else its name
// with the media type's extension; empty when neither is usable. Names from
// the server are cut to one component inside the target directory.
std::string NameFromResponse(const CImpBroxCmd& cmd) {
  std::string fileName = CleanResponseFileName(cmd.m_DispositionFileName);
  if (!fileName.empty()) return fileName;
  std::string name = CleanResponseFileName(cmd.m_DispositionName);
  if (!name.empty()) return name + GetExtByContentType(cmd);
  return std::string();
}

// The name the URL gives: its last path segment (one that starts with its
// only dot gets the media type's extension too), else the host + ".html".
std::string NameFromUrl(const CImpBroxCmd& cmd) {
  std::string host = cmd.m_Host;
  ReplaceReservedChars(host);
  size_t slash = cmd.m_Path.rfind('/');
  std::string segment;
  if (slash != std::string::npos) segment = cmd.m_Path.substr(slash + 1);
  ReplaceReservedChars(segment);
  // "." and ".." name directories, not files.
  if (segment.empty() || segment == "." || segment == "..") return host + ".html";
  if (segment.rfind('.') == 0) return segment + GetExtByContentType(cmd);
  return segment;
}

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
  std::string name = NameFromResponse(*this);
  if (name.empty()) name = NameFromUrl(*this);
  pathFile = JoinDir(dir, name);
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
