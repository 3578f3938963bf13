#include "frontend/ArgParse.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "CmdlineSupport.h"
#include "frontend/OptionTable.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> OptionList;

OptionList OptionsOf(const CArgParse& parse) {
  OptionList list;
  for (const ArgOption& option : parse.m_Options) list.emplace_back(option.m_Name, option.m_Value);
  return list;
}

void ParseArgs(CArgParse& parse, const std::vector<std::string>& args) {
  ArgVector argv(args);
  EXPECT_EQ(1, parse.Parse(argv.Argc(), argv.Argv()));
}

struct ClassifyCase {
  const char* token;
  int isOption;
  int takesValue;
};

TEST(ClassifyOptionTest, MatchesTheTableAndNothingElse) {
  const ClassifyCase cases[] = {
      // Exact-case entries: "-o" takes a value, "-O" does not.
      {"-o", 1, 1}, {"-O", 1, 0},
      // Any-case entries with a value.
      {"-u", 1, 1}, {"-U", 1, 1}, {"-d", 1, 1}, {"-D", 1, 1}, {"-h", 1, 1}, {"-H", 1, 1},
      {"-p", 1, 1}, {"-P", 1, 1}, {"-step", 1, 1}, {"-STEP", 1, 1}, {"-StEp", 1, 1},
      // Any-case flags.
      {"-file", 1, 0}, {"-FILE", 1, 0}, {"-head", 1, 0}, {"-Head", 1, 0}, {"-origin", 1, 0},
      {"-ORIGIN", 1, 0}, {"-compress", 1, 0}, {"-Compress", 1, 0}, {"-append", 1, 0},
      {"-APPEND", 1, 0}, {"-progress", 1, 0}, {"-PROGRESS", 1, 0}, {"-help", 1, 0},
      {"-HELP", 1, 0}, {"-hElP", 1, 0}, {"-?", 1, 0}, {"-ssl", 1, 0}, {"-SSL", 1, 0},
      {"-sSl", 1, 0},
      // Near misses: doubled dash, cut short, longer, attached value, blanks.
      {"--o", 0, 0}, {"--step", 0, 0}, {"-ste", 0, 0}, {"-steps", 0, 0}, {"-o:x", 0, 0},
      {"-o=x", 0, 0}, {"-ox", 0, 0}, {"-step:1024", 0, 0}, {"-o ", 0, 0}, {" -o", 0, 0},
      {"-head ", 0, 0}, {"-hea", 0, 0}, {"-f", 0, 0}, {"-s", 0, 0}, {"-helpme", 0, 0},
      {"-", 0, 0}, {"", 0, 0}, {"o", 0, 0}, {"file", 0, 0}, {"-x", 0, 0},
      {"http://host/", 0, 0},
  };
  for (const ClassifyCase& c : cases) {
    int takesValue = 99;
    EXPECT_EQ(c.isOption, ClassifyOption(c.token, &takesValue)) << "token '" << c.token << "'";
    EXPECT_EQ(c.takesValue, takesValue) << "token '" << c.token << "'";
  }
}

struct SplitCase {
  const char* what;
  std::vector<std::string> args;
  OptionList options;
  std::vector<std::string> positional;
};

TEST(ArgParseTest, SplitsTokensIntoOptionsAndPositionalArguments) {
  const SplitCase cases[] = {
      {"nothing", {}, {}, {}},
      {"value after the URL", {"http://h/", "-o", "f.txt"}, {{"-o", "f.txt"}}, {"http://h/"}},
      {"value-taking option followed by an option",
       {"-o", "-head", "http://h/"}, {{"-o", ""}, {"-head", ""}}, {"http://h/"}},
      {"flag leaves the next token positional",
       {"-O", "f.txt", "http://h/"}, {{"-O", ""}}, {"f.txt", "http://h/"}},
      {"only one value is taken",
       {"-o", "w1", "w2", "http://h/"}, {{"-o", "w1"}}, {"w2", "http://h/"}},
      {"unknown dash token is positional", {"-x", "http://h/"}, {}, {"-x", "http://h/"}},
      {"unknown dash token as a value", {"-o", "-x", "http://h/"}, {{"-o", "-x"}}, {"http://h/"}},
      {"empty token does not fill the value", {"-o", "", "f.txt"}, {{"-o", "f.txt"}}, {}},
      {"empty token without a pending value", {"", "http://h/"}, {}, {"", "http://h/"}},
      {"empty token after a flag", {"-head", ""}, {{"-head", ""}}, {""}},
      {"value-taking option at the end", {"http://h/", "-o"}, {{"-o", ""}}, {"http://h/"}},
      {"repeated options keep their order",
       {"-d", "a", "-d", "b"}, {{"-d", "a"}, {"-d", "b"}}, {}},
      {"name kept as written", {"-D", "v", "-SSL"}, {{"-D", "v"}, {"-SSL", ""}}, {}},
      {"URL before and between options",
       {"u1", "-h", "X: y", "u2", "-file", "u3"}, {{"-h", "X: y"}, {"-file", ""}},
       {"u1", "u2", "u3"}},
  };
  for (const SplitCase& c : cases) {
    CArgParse parse;
    ParseArgs(parse, c.args);
    EXPECT_EQ(c.args, parse.m_Tokens) << c.what;
    EXPECT_EQ(c.options, OptionsOf(parse)) << c.what;
    EXPECT_EQ(c.positional, parse.m_Args) << c.what;
    EXPECT_EQ(&ClassifyOption, parse.m_Classifier) << c.what;
  }
}

TEST(ArgParseTest, SplitArgsReportsWhetherAnyOptionWasFound) {
  CArgParse parse;
  parse.m_Tokens = {"-head", "http://h/"};
  EXPECT_EQ(0, parse.SplitArgs()) << "no classifier set";
  EXPECT_TRUE(parse.m_Options.empty());
  EXPECT_TRUE(parse.m_Args.empty());

  parse.m_Classifier = ClassifyOption;
  EXPECT_EQ(1, parse.SplitArgs());
  parse.ClearOptions();
  parse.m_Args.clear();
  parse.m_Tokens = {"http://h/"};
  EXPECT_EQ(0, parse.SplitArgs());
  EXPECT_EQ(std::vector<std::string>{"http://h/"}, parse.m_Args);
}

struct GetOptionCase {
  std::vector<std::string> args;
  const char* name;
  int ignoreCase;
  int found;
  const char* value;  // expected value string afterwards ("<untouched>" when not found)
};

TEST(ArgParseTest, GetOptionFindsTheFirstMatchingRecord) {
  const GetOptionCase cases[] = {
      {{"-d", "one", "-d", "two"}, "-d", 1, 1, "one"},
      {{"-D", "v"}, "-d", 1, 1, "v"},
      {{"-D", "v"}, "-d", 0, 0, "<untouched>"},
      {{"-D", "v"}, "-D", 0, 1, "v"},
      // "-O" comes first and matches "-o" when case is ignored.
      {{"-O", "-o", "word"}, "-o", 1, 1, ""},
      {{"-O", "-o", "word"}, "-o", 0, 1, "word"},
      {{"-o", "word", "-O"}, "-O", 0, 1, ""},
      {{"-o", "word"}, "-O", 0, 0, "<untouched>"},
      {{"-head"}, "-head", 1, 1, ""},
      {{"http://h/"}, "-head", 1, 0, "<untouched>"},
      {{}, "-o", 1, 0, "<untouched>"},
  };
  for (const GetOptionCase& c : cases) {
    CArgParse parse;
    ParseArgs(parse, c.args);
    std::string value = "<untouched>";
    EXPECT_EQ(c.found, parse.GetOption(c.name, value, c.ignoreCase)) << c.name;
    EXPECT_EQ(c.value, value) << c.name;
  }
}

struct NextNameCase {
  std::vector<std::string> args;
  const char* name;
  int found;
  const char* next;
};

TEST(ArgParseTest, GetNextOptionNameReportsTheOptionWrittenRightAfter) {
  const NextNameCase cases[] = {
      {{"-d", "c:/post.txt", "-file"}, "-d", 1, "-file"},
      {{"-file", "-d", "c:/post.txt"}, "-d", 0, "<untouched>"},
      {{"-d", "a", "-d", "b", "-file"}, "-d", 1, "-d"},
      {{"-D", "a", "-FILE"}, "-d", 1, "-FILE"},
      {{"-d", "a", "-head", "-file"}, "-d", 1, "-head"},
      {{"-h", "a"}, "-d", 0, "<untouched>"},
      {{}, "-d", 0, "<untouched>"},
  };
  for (const NextNameCase& c : cases) {
    CArgParse parse;
    ParseArgs(parse, c.args);
    std::string next = "<untouched>";
    EXPECT_EQ(c.found, parse.GetNextOptionName(c.name, next));
    EXPECT_EQ(c.next, next);
  }
}

TEST(ArgParseTest, ParseRecordsTheProgramAndReplacesEarlierResults) {
  CArgParse parse;
  EXPECT_EQ(NULL, parse.m_Classifier);
  EXPECT_TRUE(parse.GetModuleDir().empty());

  ParseArgs(parse, {"-o", "a.txt", "-head", "first", "second"});
  ParseArgs(parse, {"third"});
  EXPECT_EQ(std::vector<std::string>{"third"}, parse.m_Tokens);
  EXPECT_TRUE(parse.m_Options.empty());
  EXPECT_EQ(std::vector<std::string>{"third"}, parse.m_Args);

  std::string exe = ExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.substr(0, exe.rfind('/')), parse.GetModuleDir());
}

}  // namespace
