// The command driver: everything the command line asked for, the request
// headers and post data, the batch URL list, and what is known of the
// current response.
#ifndef ZELVORA_FRONTEND_IMPBROXCMD_H
#define ZELVORA_FRONTEND_IMPBROXCMD_H

#include <string>
#include <vector>

#include "engine/HeaderMap.h"
#include "frontend/ArgParse.h"

class CImpBroxCmd {
 public:
  CImpBroxCmd();
  virtual ~CImpBroxCmd();
  CImpBroxCmd(const CImpBroxCmd&) = delete;
  CImpBroxCmd& operator=(const CImpBroxCmd&) = delete;

  int ParseCommandLine(int argc, char** argv);
  int ExpandBatchUrls(int useHttps);
  int LoadPostDataFile();
  int LoadHeadDataFile();
  void ParseHeadData();
  int GetOutputPathFile(std::string& pathFile);
  int MakeOutputPathFile(std::string& pathFile);

  int m_OutputToFile;
  int m_Upload;
  int m_PostData;
  int m_HeadData;
  int m_HeadOnly;
  int m_Origin;
  int m_Compress;
  int m_PostDataIsFile;
  int m_HeadDataIsFile;
  int m_Append;
  int m_Step;
  int m_Progress;
  unsigned short m_StepSize;
  std::string m_OutputPath;
  std::string m_UploadPath;
  std::string m_PostDataString;
  std::string m_HeadDataString;
  std::string m_Url;
  std::string m_Host;
  std::string m_Path;
  std::string m_ContentEncoding;
  std::string m_MediaType;
  std::string m_DispositionName;
  std::string m_DispositionFileName;
  unsigned short m_Port;
  char* m_PostDataBuffer;
  unsigned int m_PostDataLength;
  HeaderMap m_RequestHeaders;
  std::vector<std::string> m_BatchUrls;
  std::string m_BatchDir;
  CArgParse* m_ArgParse;
  // Set by ExpandBatchUrls when the URL held a range of more URLs than a run
  // may hold (the list then stays empty); ParseCommandLine stops on it.
  int m_BatchTooLarge;
};

#endif
