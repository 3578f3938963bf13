// Turns the argument vector into option records and positional arguments.
#ifndef ZELVORA_FRONTEND_ARGPARSE_H
#define ZELVORA_FRONTEND_ARGPARSE_H

#include <string>
#include <vector>

// Non-zero when token is a known option; *takesValue then says whether it
// takes the next token as its value.
typedef int (*ArgClassifier)(const char* token, int* takesValue);

struct ArgOption {
  std::string m_Name;
  std::string m_Value;
};

class CArgParse {
 public:
  CArgParse();
  virtual ~CArgParse();
  CArgParse(const CArgParse&) = delete;
  CArgParse& operator=(const CArgParse&) = delete;

  int Parse(int argc, char** argv);
  int SplitArgs();
  void AddOption(const std::string& name, const std::string& value);
  int GetOption(const char* name, std::string& value, int ignoreCase);
  int GetNextOptionName(const char* name, std::string& nextName);
  std::string GetModuleDir();
  void ClearOptions();

  std::string m_ModuleDir;
  std::string m_ModuleFileName;
  std::string m_CommandLine;
  std::vector<std::string> m_Tokens;
  std::vector<ArgOption*> m_Options;
  std::vector<std::string> m_Args;
  ArgClassifier m_Classifier;
};

#endif
