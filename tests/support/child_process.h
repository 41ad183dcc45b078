// Work in forked child processes, for what must not touch the test process:
// dropped capabilities, file size limits, concurrent writers.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <vector>

namespace testsupport {

// Runs body(i) in count child processes released together; true when every
// body returned true.
inline bool RunInChildren(int count, const std::function<bool(int)>& body) {
  int gate[2];
  if (pipe(gate) != 0) return false;
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    pid_t pid = fork();
    if (pid == 0) {
      close(gate[1]);
      char byte;
      [[maybe_unused]] ssize_t ignored = read(gate[0], &byte, 1);  // returns when the parent closes the gate
      _exit(body(i) ? 0 : 1);
    }
    if (pid > 0) children.push_back(pid);
  }
  close(gate[0]);
  close(gate[1]);
  bool ok = int(children.size()) == count;
  for (pid_t child : children) {
    int status = 0;
    ok = waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
  }
  return ok;
}

inline bool RunInChild(const std::function<bool()>& body) {
  return RunInChildren(1, [&](int) { return body(); });
}

}  // namespace testsupport
