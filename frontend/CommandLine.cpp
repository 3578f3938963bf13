#include <cstdio>
#include <string>

#include "engine/Url.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/OptionTable.h"
#include "frontend/PathCheck.h"
#include "platform/CRuntime.h"
#include "platform/FileSystem.h"

namespace {

// 1 when the option written directly after the first "name" is "-file".
int FileFollows(CArgParse* argParse, const char* name) {
  std::string next;
  return argParse->GetNextOptionName(name, next) && StrICmp(next.c_str(), "-file") == 0 ? 1 : 0;
}

}  // namespace

int CImpBroxCmd::ParseCommandLine(int argc, char** argv) {
  m_ArgParse->Parse(argc, argv);
  if (m_ArgParse->m_Args.empty()) {
    PrintUsage();
    return 0;
  }
  std::string unused;
  if (m_ArgParse->GetOption("-help", unused, 1) || m_ArgParse->GetOption("-?", unused, 1)) {
    PrintUsage();
    return 0;
  }

  m_Url = m_ArgParse->m_Args[0];
  std::string scheme;
  int useTls = 0;
  if (!ParseUrl(m_Url.c_str(), scheme, &m_Host, &m_Path, &m_Port, &useTls)) {
    printf("Error : URL(%s) is not valid.\r\n", m_Url.c_str());
    return 0;
  }

  m_OutputToFile = m_ArgParse->GetOption("-o", m_OutputPath, 1);
  m_Upload = m_ArgParse->GetOption("-u", m_UploadPath, 1);
  m_PostData = m_ArgParse->GetOption("-d", m_PostDataString, 1);
  m_HeadData = m_ArgParse->GetOption("-h", m_HeadDataString, 1);
  m_ArgParse->GetOption("-p", m_BatchDir, 1);
  std::string stepText;
  m_Step = m_ArgParse->GetOption("-step", stepText, 1);
  int stepSize = AtoiSaturating(stepText.c_str());
  if (stepSize >= 1 && stepSize <= 65535) m_StepSize = static_cast<unsigned short>(stepSize);
  m_HeadOnly = m_ArgParse->GetOption("-head", unused, 1);
  m_Origin = m_ArgParse->GetOption("-origin", unused, 1);
  m_Compress = m_ArgParse->GetOption("-compress", unused, 1);
  m_Append = m_ArgParse->GetOption("-append", unused, 1);
  m_Progress = m_ArgParse->GetOption("-progress", unused, 1);
  int useSsl = m_ArgParse->GetOption("-ssl", unused, 1);

  int batchHttps = useTls;
  if (useSsl && m_Url.find("://") == std::string::npos) {
    m_Url = "https://" + m_Url;
    batchHttps = 1;
  }

  if (ExpandBatchUrls(batchHttps)) {
    if (!m_BatchDir.empty() && !IsDirExist(m_BatchDir.c_str())) {
      if (!DirCreate(m_BatchDir.c_str())) {
        printf("Error: output path not exist.\r\n");
        return 0;
      }
    }
    if (m_BatchDir.empty()) m_BatchDir = m_ArgParse->GetModuleDir();
  } else if (m_BatchTooLarge) {
    printf("Error: batch range is too large.\r\n");
    return 0;
  }

  if (m_Upload) {
    if (m_UploadPath.empty()) {
      printf("Error: upload file is empty.\r\n");
      return 0;
    }
    int hasDir = 0;
    if (!CheckPathFile(m_UploadPath, &hasDir)) {
      printf("Error: Upload PathFile is not exist.\r\n");
      return 0;
    }
    if (!hasDir) m_UploadPath = m_ArgParse->GetModuleDir() + "/" + m_UploadPath;
    if (!IsFileExist(m_UploadPath.c_str())) {
      printf("Error: Upload PathFile is not exist.\r\n");
      return 0;
    }
  }

  m_PostDataIsFile = 0;
  if (m_PostData) {
    m_PostDataIsFile = FileFollows(m_ArgParse, "-d");
    if (m_PostDataIsFile && !LoadPostDataFile()) {
      printf("Error : post data pathfile is not valid.\r\n");
      return 0;
    }
  }

  m_HeadDataIsFile = 0;
  if (m_HeadData) {
    m_HeadDataIsFile = FileFollows(m_ArgParse, "-h");
    if (m_HeadDataIsFile && !LoadHeadDataFile()) {
      printf("Error : head data pathfile is not valid.\r\n");
      return 0;
    }
    ParseHeadData();
  }
  return 1;
}
