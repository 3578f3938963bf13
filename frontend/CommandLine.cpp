#include <cstdio>
#include <string>

#include "engine/Url.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/OptionTable.h"
#include "frontend/PathCheck.h"
#include "platform/CRuntime.h"
#include "platform/FileSystem.h"

// The messages below are part of the program's interface: scripts match
// their exact words and spacing, "Error :" in some and "Error:" in others.

namespace {

// 1 when the run only shows the usage text: no URL, or "-help" or "-?".
int WantsUsage(CArgParse& args) {
  if (args.m_Args.empty()) return 1;
  std::string unused;
  return args.GetOption("-help", unused, 1) || args.GetOption("-?", unused, 1) ? 1 : 0;
}

// Splits the first argument into host, path and port; *useTls says whether
// its scheme asks for TLS.
int ReadUrl(CImpBroxCmd& cmd, int* useTls) {
  cmd.m_Url = cmd.m_ArgParse.m_Args[0];
  std::string scheme;
  if (!ParseUrl(cmd.m_Url.c_str(), scheme, &cmd.m_Host, &cmd.m_Path, &cmd.m_Port, useTls)) {
    printf("Error : URL(%s) is not valid.\r\n", cmd.m_Url.c_str());
    return 0;
  }
  return 1;
}

// Records every option but the URL; returns 1 when "-ssl" was given.
int ReadOptions(CImpBroxCmd& cmd) {
  CArgParse& args = cmd.m_ArgParse;
  cmd.m_OutputToFile = args.GetOption("-o", cmd.m_OutputPath, 1);
  cmd.m_Upload = args.GetOption("-u", cmd.m_UploadPath, 1);
  cmd.m_PostData = args.GetOption("-d", cmd.m_PostDataString, 1);
  cmd.m_HeadData = args.GetOption("-h", cmd.m_HeadDataString, 1);
  args.GetOption("-p", cmd.m_BatchDir, 1);
  std::string stepText;
  cmd.m_Step = args.GetOption("-step", stepText, 1);
  int stepSize = AtoiSaturating(stepText.c_str());
  if (stepSize >= 1 && stepSize <= 65535) cmd.m_StepSize = static_cast<unsigned short>(stepSize);
  std::string unused;
  cmd.m_HeadOnly = args.GetOption("-head", unused, 1);
  cmd.m_Origin = args.GetOption("-origin", unused, 1);
  cmd.m_Compress = args.GetOption("-compress", unused, 1);
  cmd.m_Append = args.GetOption("-append", unused, 1);
  cmd.m_Progress = args.GetOption("-progress", unused, 1);
  return args.GetOption("-ssl", unused, 1);
}

// Expands a batch range and makes sure its target directory exists.
int PrepareBatch(CImpBroxCmd& cmd, int batchHttps) {
  if (cmd.ExpandBatchUrls(batchHttps)) {
    if (!cmd.m_BatchDir.empty() && !IsDirExist(cmd.m_BatchDir.c_str())) {
      if (!DirCreate(cmd.m_BatchDir.c_str())) {
        printf("Error: output path not exist.\r\n");
        return 0;
      }
    }
    if (cmd.m_BatchDir.empty()) cmd.m_BatchDir = cmd.m_ArgParse.GetModuleDir();
  } else if (cmd.m_BatchTooLarge) {
    printf("Error: batch range is too large.\r\n");
    return 0;
  }
  return 1;
}

// Resolves the file of "-u" (ResolvePathFile) and makes sure it exists.
int CheckUploadFile(CImpBroxCmd& cmd) {
  if (cmd.m_UploadPath.empty()) {
    printf("Error: upload file is empty.\r\n");
    return 0;
  }
  if (!ResolvePathFile(cmd.m_UploadPath, cmd.m_ArgParse.GetModuleDir(), &cmd.m_UploadPath)) {
    printf("Error: Upload PathFile is not exist.\r\n");
    return 0;
  }
  if (!IsFileExist(cmd.m_UploadPath.c_str())) {
    printf("Error: Upload PathFile is not exist.\r\n");
    return 0;
  }
  return 1;
}

// Sets *isFile when the option written directly after the first "option" is
// "-file", and then loads that file; prints error when it cannot.
int LoadWhenFile(CImpBroxCmd& cmd, const char* option, int (CImpBroxCmd::*load)(), int* isFile,
                 const char* error) {
  std::string next;
  *isFile = cmd.m_ArgParse.GetNextOptionName(option, next) && StrICmp(next.c_str(), "-file") == 0;
  if (*isFile && !(cmd.*load)()) {
    printf("%s", error);
    return 0;
  }
  return 1;
}

// The post data and the extra headers, as text or from their files.
int LoadRequestData(CImpBroxCmd& cmd) {
  cmd.m_PostDataIsFile = 0;
  if (cmd.m_PostData &&
      !LoadWhenFile(cmd, "-d", &CImpBroxCmd::LoadPostDataFile, &cmd.m_PostDataIsFile,
                    "Error : post data pathfile is not valid.\r\n")) {
    return 0;
  }
  cmd.m_HeadDataIsFile = 0;
  if (!cmd.m_HeadData) return 1;
  if (!LoadWhenFile(cmd, "-h", &CImpBroxCmd::LoadHeadDataFile, &cmd.m_HeadDataIsFile,
                    "Error : head data pathfile is not valid.\r\n")) {
    return 0;
  }
  // A loaded file has been parsed already.
  if (!cmd.m_HeadDataIsFile) cmd.ParseHeadData();
  return 1;
}

}  // namespace

int CImpBroxCmd::ParseCommandLine(int argc, char** argv) {
  m_ArgParse.Parse(argc, argv);
  if (WantsUsage(m_ArgParse)) {
    PrintUsage();
    return 0;
  }
  int useTls = 0;
  if (!ReadUrl(*this, &useTls)) return 0;
  const int useSsl = ReadOptions(*this);

  // "-ssl" turns a URL written without a scheme into an https one.
  int batchHttps = useTls;
  if (useSsl && m_Url.find("://") == std::string::npos) {
    m_Url = "https://" + m_Url;
    batchHttps = 1;
  }
  if (!PrepareBatch(*this, batchHttps)) return 0;
  if (m_Upload && !CheckUploadFile(*this)) return 0;
  return LoadRequestData(*this);
}
