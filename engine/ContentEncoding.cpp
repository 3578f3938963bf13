#include "engine/ContentEncoding.h"

#include "platform/CRuntime.h"

namespace {

struct CodingEntry {
  const char* m_Name;
  // 0 for "identity": the entry names no coding at all.
  int m_IsCoding;
  ContentCoding m_Coding;
  const char* m_Suffix;
};

const CodingEntry kCodings[] = {
    {"gzip", 1, CODING_GZIP, ".gzip"},
    {"x-gzip", 1, CODING_GZIP, ".gzip"},
    {"deflate", 1, CODING_DEFLATE, ".deflate"},
    {"identity", 0, CODING_GZIP, ""},
};

int IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

// The entries of a comma list, each cut of the blanks around it; empty
// entries stay, for the caller to skip.
std::vector<std::string> SplitList(const std::string& value) {
  std::vector<std::string> entries;
  size_t start = 0;
  for (;;) {
    size_t end = value.find(',', start);
    if (end == std::string::npos) end = value.size();
    size_t first = start;
    size_t last = end;
    while (first < last && IsBlank(value[first])) ++first;
    while (last > first && IsBlank(value[last - 1])) --last;
    entries.push_back(value.substr(first, last - first));
    if (end == value.size()) return entries;
    start = end + 1;
  }
}

// The table's entry for a name, or NULL.
const CodingEntry* FindCoding(const std::string& name) {
  for (const CodingEntry& entry : kCodings) {
    if (StrICmp(name.c_str(), entry.m_Name) == 0) return &entry;
  }
  return nullptr;
}

}  // namespace

int ReadContentCodings(const std::string& value, std::vector<ContentCoding>& codings) {
  codings.clear();
  for (const std::string& name : SplitList(value)) {
    if (name.empty()) continue;
    const CodingEntry* entry = FindCoding(name);
    if (entry == nullptr || (entry->m_IsCoding && codings.size() == kMostContentCodings)) {
      codings.clear();
      return 0;
    }
    if (entry->m_IsCoding) codings.push_back(entry->m_Coding);
  }
  return 1;
}

int IsCompressedEncoding(const std::string& value) {
  std::vector<ContentCoding> codings;
  return ReadContentCodings(value, codings) && !codings.empty();
}

const char* CodingSuffix(const std::string& value) {
  const std::vector<std::string> entries = SplitList(value);
  for (size_t i = entries.size(); i-- > 0;) {
    if (entries[i].empty()) continue;
    const CodingEntry* entry = FindCoding(entries[i]);
    if (entry == nullptr) return "";
    if (entry->m_IsCoding) return entry->m_Suffix;
  }
  return "";
}
