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

// The command line split into options (in the order given) and positional
// arguments. Everything it hands out is a copy.
class CArgParse {
 public:
  CArgParse();
  CArgParse(const CArgParse&) = delete;
  CArgParse& operator=(const CArgParse&) = delete;

  // Reads the program's own directory, then splits
  // argv[1..argc-1] with the program's option table (ClassifyOption). Any
  // earlier result is dropped first. Always returns 1.
  int Parse(int argc, char** argv);
  // Splits m_Tokens into m_Options and m_Args with m_Classifier: an option
  // that takes a value gets the next token that is no option (an empty token
  // leaves the value empty, so the one after may still fill it); every other
  // token is an argument. Returns 0 when there is no classifier or no option
  // came out, else 1.
  int SplitArgs();
  // Appends one option record; a name given twice is kept twice.
  void AddOption(const std::string& name, const std::string& value);
  // 1 and the value of the first option called name (ignoreCase: without
  // regard to ASCII case); 0 with value untouched when there is none.
  int GetOption(const char* name, std::string& value, int ignoreCase);
  // 1 and the name of the option written directly after the first one called
  // name (ASCII case ignored); 0 with nextName untouched when name is missing
  // or last.
  int GetNextOptionName(const char* name, std::string& nextName);
  // The executable's path up to its last separator, or "." when the system
  // gave no full path: where bare file names are looked up. Set by Parse.
  std::string GetModuleDir();
  // Empties m_Options.
  void ClearOptions();

  std::string m_ModuleDir;
  // The tokens after the program name, as given.
  std::vector<std::string> m_Tokens;
  // One record per option token, in command-line order.
  std::vector<ArgOption> m_Options;
  // The positional arguments; the first one is the URL.
  std::vector<std::string> m_Args;
  ArgClassifier m_Classifier;
};

#endif
