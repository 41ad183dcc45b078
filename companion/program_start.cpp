#include "companion/program_start.h"

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

std::vector<std::string> CompanionCommandLine(const std::string& templ, const std::string& argument) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, usedArgument = false;
  char quote = 0;
  for (size_t i = 0; i < templ.size(); ++i) {
    char c = templ[i];
    if (quote) {
      if (c == quote) {
        quote = 0;
      } else if (c == '\\' && quote == '"' && i + 1 < templ.size()) {
        word += templ[++i];
      } else if (c == '%' && i + 1 < templ.size() && templ[i + 1] == 's') {
        word += argument;
        usedArgument = true;
        ++i;
      } else {
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
    } else if (c == '%' && i + 1 < templ.size() && templ[i + 1] == 's') {
      word += argument;
      usedArgument = true;
      ++i;
    } else {
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

std::string CompanionFindProgram(const std::string& program) {
  if (program.empty()) return "";
  if (program.find('/') != std::string::npos) return IsExecutableFile(program) ? program : "";
  const char* path = getenv("PATH");
  std::string list = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string folder = list.substr(start, end - start);
    if (!folder.empty()) {
      std::string candidate = folder + "/" + program;
      if (IsExecutableFile(candidate)) return candidate;
    }
    start = end + 1;
  }
  return "";
}

static int Spawn(const std::vector<std::string>& commandLine) {
  if (commandLine.empty()) return -1;
  std::string program = CompanionFindProgram(commandLine[0]);
  if (program.empty()) return -1;
  std::vector<char*> argv;
  for (const std::string& word : commandLine) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The companion neither reads our input nor holds our output open after we end.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

LCompanionProcess::~LCompanionProcess() {
  // Not waited for: reap it later so it does not stay a zombie.
  if (pid_ > 0) {
    int pid = pid_;
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  }
}

bool LCompanionProcess::Start(const std::vector<std::string>& commandLine) {
  pid_ = Spawn(commandLine);
  return pid_ > 0;
}

bool LCompanionProcess::Wait(int milliseconds) {
  if (pid_ <= 0) return true;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    pid_t done = waitpid(pid_, nullptr, WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) {
      pid_ = -1;
      return true;
    }
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool LCompanionProcess::StartDetached(const std::vector<std::string>& commandLine) {
  LCompanionProcess process;
  return process.Start(commandLine);
}
