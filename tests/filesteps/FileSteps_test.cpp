// A download stopped at each of its file-system steps in turn: the step
// fails as on a broken or full disk, every step from it on fails (the disk
// stays broken, so a move back fails too), or the program is killed
// (SIGKILL) right there. The copy of the program that can do so
// (zelvora_faultfs, see tests/faultfs/FaultFs.cpp) counts every change the
// run makes to the disk; each mode below is first run whole to see that it
// works, then once per step and fault kind until a run no longer reaches the
// step.
//
// What must hold after every such run, whatever keeps the earlier file:
// - the path holds exactly its earlier bytes (after a kill, or on a disk that
//   refuses every change from a step on, a resumed file may also hold the
//   start of its body behind them), and a next run that stops
//   before its request claims no other bytes for it; or
// - a next run on the same command stops before any request and names, in
//   double quotes, a file that holds exactly the earlier bytes.
// A run killed after its body took the path's name and the earlier file was
// dropped leaves the disk as a whole run does, which is sound too.
// A run whose steps failed is not killed, and it prints "Download:" only when
// the whole body stands at the printed path; a body that took the path's own
// name may have replaced the earlier bytes, as a successful run does.
//
// The next run is the same copy without a plan: its steps are only counted,
// so it does what the program does, and bare names and -O land in its folder
// as they did for the run before.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/E2e.h"

namespace {

// A run that makes more steps than this is taken for one that never ends.
const int kMostSteps = 200;

enum EFault { FAULT_FAIL, FAULT_FAIL_FROM, FAULT_KILL };

// The plan word for the copy (tests/faultfs/FaultFs.cpp).
const char* PlanWord(EFault fault) {
  switch (fault) {
    case FAULT_FAIL: return "fail";
    case FAULT_FAIL_FROM: return "failfrom";
    case FAULT_KILL: return "kill";
  }
  return "";
}

struct CMode {
  const char* name;
  std::string urlPath;
  std::vector<std::string> options;  // after the URL; "{D}" stands for the program's folder
  std::string reply;                 // the one answer to the request
  const char* earlierName;           // the file there before the run; NULL: none
  std::string earlier;               // its bytes
  const char* storedName;            // where a run with no fault stores the body
  std::string stored;                // what it holds then
  // A resumed file: a killed run may leave the earlier bytes at the path with
  // the start of the body behind them, for the next run to resume.
  bool resumes;
};

std::string Printable(const std::string& bytes) {
  std::string out;
  for (char byte : bytes.substr(0, 24)) {
    const unsigned char c = static_cast<unsigned char>(byte);
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      snprintf(hex, sizeof(hex), "\\x%02x", c);
      out += hex;
    }
  }
  return bytes.size() > 24 ? out + "..." : out;
}

// The files of the copy itself, beside the ones a run writes: bare names
// and -O land in the program's own folder.
bool IsOwnFile(const std::string& name) {
  return name == "zelvora_faultfs" || name == "faultfs.plan" || name == "faultfs.steps";
}

// Every name in folder but the copy's own, sorted, with the size and start of what it holds.
std::string Listing(const std::string& folder) {
  std::vector<std::string> lines;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == ".." || IsOwnFile(name)) continue;
      const std::string bytes = TempDir::ReadFile(folder + "/" + name);
      lines.push_back(name + " (" + std::to_string(bytes.size()) + ") \"" + Printable(bytes) + "\"");
    }
    closedir(dir);
  }
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string& line : lines) out += "    " + line + "\n";
  return out.empty() ? "    (nothing)\n" : out;
}

bool IsRegular(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The names between double quotes in a program's messages, made absolute
// against folder.
std::vector<std::string> QuotedNames(const std::string& text, const std::string& folder) {
  std::vector<std::string> names;
  size_t open = text.find('"');
  while (open != std::string::npos) {
    const size_t close = text.find('"', open + 1);
    if (close == std::string::npos) break;
    std::string name = text.substr(open + 1, close - open - 1);
    names.push_back(!name.empty() && name[0] == '/' ? name : folder + "/" + name);
    open = text.find('"', close + 1);
  }
  return names;
}

// The path after "Download: ", made absolute against folder; empty when the
// run printed none.
std::string PrintedDownload(const std::string& out, const std::string& folder) {
  const std::string mark = "Download: ";
  const size_t at = out.find(mark);
  if (at == std::string::npos) return std::string();
  const size_t start = at + mark.size();
  std::string path = out.substr(start, out.find("\r\n", start) - start);
  return !path.empty() && path[0] == '/' ? path : folder + "/" + path;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class FileSteps : public ::testing::TestWithParam<CMode> {
 protected:
  FileSteps() : m_Program(ZELVORA_FAULTFS_EXE), m_Folder(m_Program.Dir()) {}

  // The program's folder as before a run: the earlier file when the mode has
  // one, and nothing else but the program and its plan.
  void ResetFolder() {
    for (const std::string& name : m_Program.Files()) {
      if (!IsOwnFile(name)) std::filesystem::remove_all(m_Program.File(name));
    }
    const CMode& mode = GetParam();
    if (mode.earlierName) m_Program.WriteFile(mode.earlierName, mode.earlier);
  }

  // Runs the command of the mode once, with the plan given ("" for none: the
  // copy then does what the program does, its steps only counted). *steps
  // gets the steps the run made; *requests how many requests the server saw.
  CProgramResult Run(const std::string& plan, std::vector<std::string>* steps, size_t* requests) {
    const CMode& mode = GetParam();
    if (plan.empty()) {
      remove(m_Program.File("faultfs.plan").c_str());
    } else {
      m_Program.WriteFile("faultfs.plan", plan + "\n");
    }
    CScriptedServer server(CServerScript::OneReply(mode.reply));
    std::vector<std::string> args = {server.Url(mode.urlPath)};
    for (std::string option : mode.options) {
      if (option == "{D}") option = m_Folder;
      args.push_back(option);
    }
    CProgramResult run = m_Program.Run(args, "", 20000);
    EXPECT_TRUE(run.m_Started);
    EXPECT_FALSE(run.m_TimedOut);
    server.Stop();
    if (steps) *steps = Lines(m_Program.ReadFile("faultfs.steps"));
    if (requests) *requests = server.RequestCount();
    return run;
  }

  std::string Path(const std::string& name) const { return m_Folder + "/" + name; }

  // 1 when the folder holds no file of a run but those of paths: then none
  // can claim to be what the path held.
  bool OnlyFilesAre(const std::vector<std::string>& paths) const {
    for (const std::string& name : m_Program.Files()) {
      if (!IsOwnFile(name) && std::find(paths.begin(), paths.end(), Path(name)) == paths.end())
        return false;
    }
    return true;
  }

  // What is wrong after a run whose step failed or was killed; empty when
  // nothing is. Makes a next run when it must.
  std::string Problem(EFault fault, const CProgramResult& run) {
    const CMode& mode = GetParam();
    if (fault != FAULT_KILL && run.m_Signal != 0) {
      return "the run ended by signal " + std::to_string(run.m_Signal) + "\n" + run.m_Err;
    }
    const std::string printed = PrintedDownload(run.m_Out, m_Folder);
    if (!printed.empty() && (!IsRegular(printed) || TempDir::ReadFile(printed) != mode.stored)) {
      return "\"Download: " + printed + "\" without the whole body there";
    }
    if (!mode.earlierName) return std::string();
    const std::string path = Path(mode.earlierName);
    // A body that took the path's name replaced the earlier file, as asked.
    if (printed == path) return std::string();
    // Killed once the body had taken the path and the earlier file was
    // dropped: the disk is as a whole run leaves it.
    const std::string storedPath = Path(mode.storedName);
    if (fault == FAULT_KILL && storedPath == path && IsRegular(path) &&
        TempDir::ReadFile(path) == mode.stored && OnlyFilesAre({path})) {
      return std::string();
    }

    const std::string now = TempDir::ReadFile(path);
    const bool atPath =
        IsRegular(path) &&
        (now == mode.earlier || (mode.resumes && fault != FAULT_FAIL &&
                                 now.size() >= mode.earlier.size() &&
                                 mode.stored.compare(0, now.size(), now) == 0));
    if (atPath && OnlyFilesAre({path, printed})) return std::string();
    size_t requests = 0;
    const CProgramResult next = Run("", nullptr, &requests);
    const std::vector<std::string> names = QuotedNames(next.m_Out, m_Folder);
    const std::string said = "\n  a next run printed: " + next.m_Out;
    if (atPath) {
      if (requests != 0) return std::string();
      for (const std::string& name : names) {
        if (name != path && IsRegular(name) && TempDir::ReadFile(name) != mode.earlier) {
          return "the earlier bytes are at the path, but a next run stops on \"" + name +
                 "\", which holds others" + said;
        }
      }
      return std::string();
    }
    if (requests != 0) {
      return "the path lost its earlier bytes and a next run went ahead with its request" + said;
    }
    for (const std::string& name : names) {
      if (IsRegular(name) && TempDir::ReadFile(name) == mode.earlier) return std::string();
    }
    return "the path lost its earlier bytes and a next run names no file that holds them" + said;
  }

  CProgramSandbox m_Program;
  const std::string m_Folder;
};

// Names the mode in test names and messages.
void PrintTo(const CMode& mode, std::ostream* out) { *out << mode.name; }

TEST_P(FileSteps, EveryStepFailedOrKilledKeepsTheEarlierFile) {
  const CMode& mode = GetParam();
  ASSERT_TRUE(m_Program.IsReady());

  // With no fault the mode does what it says.
  std::vector<std::string> steps;
  ResetFolder();
  CProgramResult clean = Run("", &steps, nullptr);
  ASSERT_EQ(0, clean.m_Signal) << clean.m_Err;
  ASSERT_EQ(Path(mode.storedName), PrintedDownload(clean.m_Out, m_Folder)) << clean.m_Out;
  ASSERT_EQ(mode.stored, TempDir::ReadFile(Path(mode.storedName)));
  if (mode.earlierName && std::string(mode.earlierName) != mode.storedName) {
    ASSERT_EQ(mode.earlier, TempDir::ReadFile(Path(mode.earlierName)));
  }
  ASSERT_FALSE(steps.empty());
  std::string allSteps;
  for (const std::string& step : steps) allSteps += "    " + step + "\n";

  for (EFault fault : {FAULT_FAIL, FAULT_FAIL_FROM, FAULT_KILL}) {
    const char* kind = PlanWord(fault);
    for (int at = 1;; ++at) {
      ASSERT_LE(at, kMostSteps) << "the runs never end";
      ResetFolder();
      CProgramResult run = Run(std::string(kind) + " " + std::to_string(at), &steps, nullptr);
      if (static_cast<int>(steps.size()) < at) {
        // Every step was tried: this run made fewer, as the one without fault.
        EXPECT_EQ(0, run.m_Signal) << kind << " " << at << "\n" << run.m_Err;
        EXPECT_EQ(mode.stored, TempDir::ReadFile(Path(mode.storedName)));
        break;
      }
      if (fault == FAULT_KILL) {
        EXPECT_EQ(SIGKILL, run.m_Signal) << at;
      }
      const std::string left = Listing(m_Folder);
      const std::string problem = Problem(fault, run);
      EXPECT_EQ("", problem) << mode.name << ", " << kind << " at step "
                             << steps[static_cast<size_t>(at - 1)] << "\n  left on disk:\n"
                             << left << "  the run printed: " << run.m_Out
                             << "\n  steps of a run without fault:\n" << allSteps;
    }
  }
}

const std::string kBody = "the new body";
const std::string kOtherName = "Content-Disposition: attachment; filename=\"x.txt\"\r\n";
const std::string kGzipped = Gzip(Pattern(3000));
const std::string kGzip = "Content-Encoding: gzip\r\n";

const CMode kModes[] = {
    {"NewFile", "/f", {"-o", "out.bin"}, Ok(kBody), nullptr, "", "out.bin", kBody, false},
    {"OverAnEarlierFile", "/f", {"-o", "out.bin"}, Ok(kBody), "out.bin", "earlier", "out.bin",
     kBody, false},
    {"AppendResumed", "/f", {"-o", "out.bin", "-append"},
     Response("206 Partial Content", "Content-Range: bytes 7-14/15\r\n", "-resumed"), "out.bin",
     "earlier", "out.bin", "earlier-resumed", true},
    {"AppendWholeBody", "/f", {"-o", "out.bin", "-append"}, Ok(kBody), "out.bin", "earlier",
     "out.bin", kBody, false},
    {"AppendWholeGzipBody", "/f", {"-o", "out.bin", "-append"}, Ok(kGzipped, kGzip), "out.bin",
     "earlier", "out.bin", Pattern(3000), false},
    {"AppendOverAnEmptyFile", "/f", {"-o", "out.bin", "-append"}, Ok(kBody), "out.bin", "",
     "out.bin", kBody, true},
    {"AnswersNameWithO", "/files/report", {"-O"}, Ok(kBody, kOtherName), "report", "earlier",
     "x.txt", kBody, false},
    {"AnswersNameWithDir", "/files/report", {"-o", "{D}"}, Ok(kBody, kOtherName), "report",
     "earlier", "x.txt", kBody, false},
    {"AnswersNameWithOAppend", "/files/report", {"-O", "-append"}, Ok(kBody, kOtherName),
     "report", "earlier", "x.txt", kBody, false},
    {"CompressSuffix", "/t", {"-o", "out.txt", "-compress"}, Ok(kGzipped, kGzip), "out.txt",
     "earlier", "out.txt.gzip", kGzipped, false},
    {"OriginSuffix", "/t", {"-o", "out.txt", "-origin"}, Ok(kBody), "out.txt", "earlier",
     "out.txt.origin", kBody, false},
    {"GzipDecoded", "/t", {"-o", "out.txt"}, Ok(kGzipped, kGzip), "out.txt", "earlier", "out.txt",
     Pattern(3000), false},
};

INSTANTIATE_TEST_SUITE_P(Modes, FileSteps, ::testing::ValuesIn(kModes),
                         [](const ::testing::TestParamInfo<CMode>& mode) {
                           return std::string(mode.param.name);
                         });

}  // namespace
