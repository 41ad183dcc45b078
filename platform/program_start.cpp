#include "platform/program_start.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

std::vector<std::string> LCommandFromTemplate(const std::string& templ, const std::string& argument) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, usedArgument = false;
  char quote = 0;
  // "%s" becomes the argument, inside quotes or not.
  auto takeArgument = [&](size_t& i) {
    if (templ[i] != '%' || i + 1 >= templ.size() || templ[i + 1] != 's') return false;
    word += argument;
    usedArgument = true;
    ++i;
    return true;
  };
  for (size_t i = 0; i < templ.size(); ++i) {
    char c = templ[i];
    if (quote) {
      if (c == quote) {
        quote = 0;
      } else if (c == '\\' && quote == '"' && i + 1 < templ.size()) {
        word += templ[++i];
      } else if (!takeArgument(i)) {
        word += c;
      }
      continue;
    }
    if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '\\' && i + 1 < templ.size()) {
      word += templ[++i];
    } else if (!takeArgument(i)) {
      word += c;
    }
  }
  if (inWord) words.push_back(std::move(word));
  if (words.empty() || words[0].empty()) return {};
  if (!usedArgument) words.push_back(argument);
  return words;
}

static bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

namespace {
std::string SearchPath() {
  const char* path = getenv("PATH");
  return path ? path : "/usr/local/bin:/usr/bin:/bin";
}
}  // namespace

std::string LFindProgram(const std::string& program) { return LFindProgram(program, SearchPath()); }

std::string LFindProgram(const std::string& program, const std::string& pathVariable) {
  if (program.empty()) return "";
  if (program.find('/') != std::string::npos) return IsExecutableFile(program) ? program : "";
  size_t start = 0;
  while (start <= pathVariable.size()) {
    size_t end = pathVariable.find(':', start);
    if (end == std::string::npos) end = pathVariable.size();
    if (end > start) {
      std::string candidate = pathVariable.substr(start, end - start) + "/" + program;
      if (IsExecutableFile(candidate)) return candidate;
    }
    start = end + 1;
  }
  return "";
}

static int Spawn(const std::vector<std::string>& commandLine, bool ownSession) {
  if (commandLine.empty()) return -1;
  std::string program = LFindProgram(commandLine[0]);
  if (program.empty()) return -1;
  std::vector<char*> argv;
  for (const std::string& word : commandLine) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // It neither reads our input nor holds our output open after we end.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Detached programs leave our session, so closing our terminal or our group does not end them.
  if (ownSession) posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t pid = -1;
  int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

LChildProcess::~LChildProcess() {
  // Not waited for: reap it later so it does not stay a zombie.
  if (pid_ > 0) {
    int pid = pid_;
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  }
}

bool LChildProcess::Start(const std::vector<std::string>& commandLine) {
  pid_ = Spawn(commandLine, false);
  return pid_ > 0;
}

bool LChildProcess::Wait(int milliseconds, int* status) {
  if (pid_ <= 0) {
    if (status) *status = exitCode_;
    return true;
  }
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    int raw = 0;
    pid_t done = waitpid(pid_, &raw, WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) {
      // A lost child (already reaped elsewhere) has no known status.
      exitCode_ = done == pid_ && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      pid_ = -1;
      if (status) *status = exitCode_;
      return true;
    }
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool LChildProcess::StartDetached(const std::vector<std::string>& commandLine) {
  LChildProcess process;
  process.pid_ = Spawn(commandLine, true);
  return process.pid_ > 0;
}

ProgramCall FindSoundSettings() { return FindSoundSettings(SearchPath()); }

ProgramCall FindSoundSettings(const std::string& pathVariable) {
  static const std::vector<ProgramCall> kCandidates = {
      {"pavucontrol", {"--tab=4"}},      {"gnome-control-center", {"sound"}}, {"systemsettings", {"kcm_pulseaudio"}},
      {"kcmshell6", {"kcm_pulseaudio"}}, {"kcmshell5", {"kcm_pulseaudio"}},
  };
  for (const ProgramCall& candidate : kCandidates) {
    std::string path = LFindProgram(candidate.program, pathVariable);
    if (!path.empty()) return {path, candidate.arguments};
  }
  return {};
}

bool StartSoundSettings(const ProgramCall& call) {
  if (call.program.empty()) return false;
  std::vector<std::string> commandLine = {call.program};
  commandLine.insert(commandLine.end(), call.arguments.begin(), call.arguments.end());
  return LChildProcess::StartDetached(commandLine);
}
