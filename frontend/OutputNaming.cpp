#include "frontend/OutputNaming.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/ContentEncoding.h"
#include "engine/DownloadTarget.h"
#include "engine/PathSegment.h"
#include "frontend/ArgParse.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/PathCheck.h"
#include "frontend/TextHelpers.h"
#include "platform/CRuntime.h"

namespace {

struct SubtypeExt {
  const char* m_Subtype;
  const char* m_Ext;
};

const SubtypeExt kSubtypeExts[] = {
    {"png", ".png"},   {"x-png", ".png"},   {"html", ".html"},
    {"msword", ".doc"}, {"pdf", ".pdf"},     {"mpeg4", ".mp4"},
    {"vnd.ms-powerpoint", ".ppt"},           {"jpeg", ".jpeg"},
    {"x-jpg", ".jpeg"}, {"tiff", ".tiff"},   {"tif", ".tiff"},
};

typedef void (*PartWorker)(CImpBroxCmd& cmd, char* part);

void ParseHeaderParts(const char* value, CImpBroxCmd& cmd, PartWorker worker) {
  if (value == NULL) return;
  // The workers cut their part in place; the header's own text stays.
  std::string copy(value);
  char* part = &copy[0];
  for (;;) {
    char* cut = strchr(part, ';');
    if (cut != NULL) *cut = '\0';
    TrimChar(part, ' ');
    worker(cmd, part);
    if (cut == NULL) break;
    part = cut + 1;
  }
}

}  // namespace

void ParseContentTypeItem(CImpBroxCmd& cmd, char* part) {
  if (part == NULL || *part == '\0') return;
  if (strchr(part, '=') != NULL) return;
  cmd.m_MediaType = part;
}

void ParseContentDispositionItem(CImpBroxCmd& cmd, char* part) {
  if (part == NULL || *part == '\0') return;
  char* equals = strchr(part, '=');
  if (equals == NULL) return;
  *equals = '\0';
  char* value = equals + 1;
  TrimChar(value, ' ');
  TrimChar(value, '"');
  if (StrICmp(part, "name") == 0) {
    cmd.m_DispositionName = value;
  } else if (StrICmp(part, "filename") == 0) {
    cmd.m_DispositionFileName = value;
  }
}

int ParseContentType(const char* value, CImpBroxCmd& cmd) {
  ParseHeaderParts(value, cmd, ParseContentTypeItem);
  return 1;
}

int ParseContentDisposition(const char* value, CImpBroxCmd& cmd) {
  ParseHeaderParts(value, cmd, ParseContentDispositionItem);
  return 1;
}

std::string GetExtByContentType(const CImpBroxCmd& cmd) {
  const std::string& media = cmd.m_MediaType;
  size_t slash = media.find('/');
  std::string subtype = (slash != std::string::npos && slash > 0) ? media.substr(slash + 1) : media;
  for (const SubtypeExt& entry : kSubtypeExts) {
    if (StrICmp(subtype.c_str(), entry.m_Subtype) == 0) return entry.m_Ext;
  }
  return std::string();
}

std::string CleanResponseFileName(const std::string& name) {
  std::string clean = LastSegment(name, "/\\");
  ReplaceReservedChars(clean);
  // Control bytes would reach the file system and the "Download:" line.
  for (char& c : clean) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) c = '_';
  }
  if (clean == "." || clean == "..") return std::string();
  return clean;
}

// The output path: CImpBroxCmd::MakeOutputPathFile and GetOutputPathFile.

namespace {

// The name the response gives: Content-Disposition's filename, else its name
// with the media type's extension; empty when neither is usable. Names from
// the server are cut to one component inside the target directory, and
// never one the download keeps for itself beside an output file (the
// earlier file's aside name, a side file's): a file under the aside name
// would stop every later run as one left by a killed run, and the download
// itself may hold either name while the body is settled.
std::string NameFromResponse(const CImpBroxCmd& cmd) {
  std::string fileName = CleanResponseFileName(cmd.m_DispositionFileName);
  if (!fileName.empty() && !IsDownloadOwnName(fileName)) return fileName;
  std::string name = CleanResponseFileName(cmd.m_DispositionName);
  if (!name.empty()) name += GetExtByContentType(cmd);
  if (!name.empty() && !IsDownloadOwnName(name)) return name;
  return std::string();
}

// The name the URL gives: its last path segment (one that starts with its
// only dot gets the media type's extension too), else the host + ".html".
std::string NameFromUrl(const CImpBroxCmd& cmd) {
  std::string host = cmd.m_Host;
  ReplaceReservedChars(host);
  std::string segment;
  SplitLastSegment(cmd.m_Path, "/", NULL, &segment);
  ReplaceReservedChars(segment);
  // "." and ".." name directories, not files.
  if (segment.empty() || segment == "." || segment == "..") return host + ".html";
  if (segment.rfind('.') == 0) return segment + GetExtByContentType(cmd);
  return segment;
}

}  // namespace

int CImpBroxCmd::MakeOutputPathFile(std::string& pathFile) {
  pathFile = m_OutputPath;
  std::string dir = m_ArgParse.GetModuleDir();
  if (!m_OutputPath.empty()) {
    if (IsDirExist(m_OutputPath.c_str())) {
      dir = m_OutputPath;
    } else {
      // On failure pathFile keeps the -o value as written.
      return ResolvePathFile(m_OutputPath, dir, &pathFile);
    }
  }
  std::string name = NameFromResponse(*this);
  if (name.empty()) name = NameFromUrl(*this);
  pathFile = JoinPath(dir, name);
  return 1;
}

int CImpBroxCmd::GetOutputPathFile(std::string& pathFile) {
  if (!MakeOutputPathFile(pathFile)) return 0;
  if (m_Origin) {
    pathFile += ".origin";
    return 1;
  }
  if (m_Compress) pathFile += CodingSuffix(AnswerEncoding());
  return 1;
}
