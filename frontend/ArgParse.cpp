#include "frontend/ArgParse.h"

#include <cstdint>
#include <cstring>

#include "engine/PathSegment.h"
#include "frontend/OptionTable.h"
#include "platform/CRuntime.h"
#include "platform/Process.h"

namespace {

// The executable's full path. The buffer grows until the whole path fits,
// so a long path is never cut; "" when the system cannot give it at all.
std::string ReadExecutablePath() {
  const uint32_t kLargest = 1u << 20;
  // 260 bytes, the classic path limit, hold nearly every path at the first
  // try; a longer one doubles the buffer until it fits.
  for (uint32_t size = 260; size <= kLargest; size *= 2) {
    std::string buffer(size, '\0');
    uint32_t length = ProcessGetExecutablePath(&buffer[0], size);
    if (length != 0 && length < size) {
      buffer.resize(length);
      return buffer;
    }
  }
  return std::string();
}

}  // namespace

CArgParse::CArgParse() : m_Classifier(NULL) {}

int CArgParse::Parse(int argc, char** argv) {
  std::string modulePath = ReadExecutablePath();
  const size_t nameStart = LastSegmentStart(modulePath, "\\/");
  // Not a full path (or none at all): files named without a directory are
  // then looked up relative to the current directory.
  m_ModuleDir = nameStart == 0 ? "." : modulePath.substr(0, nameStart - 1);

  ClearOptions();
  m_Tokens.clear();
  m_Args.clear();
  for (int i = 1; i < argc; ++i) m_Tokens.push_back(argv[i]);

  m_Classifier = ClassifyOption;
  SplitArgs();
  return 1;
}

int CArgParse::SplitArgs() {
  if (m_Classifier == NULL) return 0;
  std::string pendingName;
  std::string pendingValue;
  int pendingTakesValue = 0;
  for (size_t i = 0; i < m_Tokens.size(); ++i) {
    const std::string& token = m_Tokens[i];
    int takesValue = 0;
    if (m_Classifier(token.c_str(), &takesValue)) {
      if (!pendingName.empty()) AddOption(pendingName, pendingValue);
      pendingName = token;
      pendingValue.clear();
      pendingTakesValue = takesValue;
    } else if (!pendingName.empty() && pendingTakesValue && pendingValue.empty()) {
      // An empty token leaves the value empty, so the next one may still fill it.
      pendingValue = token;
    } else {
      m_Args.push_back(token);
    }
  }
  if (!pendingName.empty()) AddOption(pendingName, pendingValue);
  return m_Options.empty() ? 0 : 1;
}

void CArgParse::AddOption(const std::string& name, const std::string& value) {
  m_Options.push_back(ArgOption{name, value});
}

int CArgParse::GetOption(const char* name, std::string& value, int ignoreCase) {
  for (const ArgOption& option : m_Options) {
    int match = ignoreCase ? StrICmp(option.m_Name.c_str(), name) == 0 : option.m_Name == name;
    if (match) {
      value = option.m_Value;
      return 1;
    }
  }
  return 0;
}

int CArgParse::GetNextOptionName(const char* name, std::string& nextName) {
  for (size_t i = 0; i < m_Options.size(); ++i) {
    if (StrICmp(m_Options[i].m_Name.c_str(), name) != 0) continue;
    if (i + 1 >= m_Options.size()) return 0;
    nextName = m_Options[i + 1].m_Name;
    return 1;
  }
  return 0;
}

std::string CArgParse::GetModuleDir() { return m_ModuleDir; }

void CArgParse::ClearOptions() { m_Options.clear(); }
