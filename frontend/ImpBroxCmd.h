// The command driver: everything the command line asked for, the request
// headers and post data, the batch URL list, and what is known of the
// current response.
#ifndef ZELVORA_FRONTEND_IMPBROXCMD_H
#define ZELVORA_FRONTEND_IMPBROXCMD_H

#include <string>
#include <vector>

#include "engine/HeaderMap.h"
#include "frontend/ArgParse.h"

class CHttpClient;

class CImpBroxCmd {
 public:
  CImpBroxCmd();
  CImpBroxCmd(const CImpBroxCmd&) = delete;
  CImpBroxCmd& operator=(const CImpBroxCmd&) = delete;

  // Reads the options and the URL into the members below, expands a batch
  // range, checks the upload file and loads the post data and header files.
  // Returns 1 when the run goes on; 0 when it ends here, after the usage text
  // or one "Error..." line has been printed.
  int ParseCommandLine(int argc, char** argv);
  // With "-O" (that exact case) and a last path segment holding a range
  // "[lo-hi]" (lo <= hi, lo no wider than hi), fills m_BatchUrls
  // with one URL per number (zero-padded to lo's width) and returns 1.
  // Otherwise returns 0 with the list empty; m_BatchTooLarge then says
  // whether the range was over the limits of BatchLimits.h.
  int ExpandBatchUrls(int useHttps);
  // Loads the file named by m_PostDataString into m_PostDataBuffer and
  // m_PostDataLength (an empty file: empty and 0). Returns 0, with empty and
  // 0, when the file is missing, over INT_MAX bytes or cannot be read.
  int LoadPostDataFile();
  // Replaces m_HeadDataString, the file's name, by the file's text up to its
  // first zero byte and parses it into m_RequestHeaders. Returns 0 with both
  // untouched when the file is missing, over INT_MAX bytes or cannot be read.
  int LoadHeadDataFile();
  // Drops every "\r" from m_HeadDataString and rebuilds m_RequestHeaders from
  // its lines up to the first empty one: "name: value" trimmed of spaces, a
  // line without ":" as a name with an empty value; the first of a name stays.
  void ParseHeadData();
  // Get: the path the body is stored under (what main and the driver use):
  // MakeOutputPathFile, then ".origin" with "-origin", or ".gzip" /
  // ".deflate" with "-compress" and that Content-Encoding.
  int GetOutputPathFile(std::string& pathFile);
  // Make: the path as named, before the marks of how the body was kept that
  // GetOutputPathFile adds. The "-o" path (a bare name in the program's
  // directory), or inside the "-o" directory (or the program's) a name from
  // Content-Disposition, the URL's last segment or the host. Returns 0 when
  // the "-o" path is neither a directory nor a usable file path.
  int MakeOutputPathFile(std::string& pathFile);
  // The Content-Encoding list of the answer m_Answer holds (its client
  // keeps it, the one place it is kept); empty before any answer.
  std::string AnswerEncoding() const;

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
  std::string m_MediaType;
  std::string m_DispositionName;
  std::string m_DispositionFileName;
  unsigned short m_Port;
  // The bytes of the post data file, see LoadPostDataFile; the length is
  // m_PostDataBuffer's size, kept as the count the drivers send.
  std::string m_PostDataBuffer;
  unsigned int m_PostDataLength;
  HeaderMap m_RequestHeaders;
  std::vector<std::string> m_BatchUrls;
  std::string m_BatchDir;
  CArgParse m_ArgParse;
  // Set by ExpandBatchUrls when the URL held a range of more URLs than a run
  // may hold (the list then stays empty); ParseCommandLine stops on it.
  int m_BatchTooLarge;
  // The client whose last answer is the current response, set by the head
  // callback; NULL before any answer. Naming and decoding read its coding
  // list through AnswerEncoding.
  const CHttpClient* m_Answer;
};

#endif
