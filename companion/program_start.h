#pragma once
// Starting outside programs without a shell. A command template such as
// "editor --open %s" is split into words first and the file path then takes
// the place of "%s" as one word, so blanks, quotes or ';' in a file name can
// never change what is run.
#include <string>
#include <vector>

// The words of templ (blanks separate; single or double quotes group; a
// backslash outside single quotes takes the next character), with every "%s"
// inside a word replaced by argument. A template without "%s" gets argument
// as its last word. Empty when the template holds no program.
std::vector<std::string> CompanionCommandLine(const std::string& templ, const std::string& argument);
// The full path of program when it is an executable on PATH (or a path to
// one); "" otherwise.
std::string CompanionFindProgram(const std::string& program);

// A started program; waits and kills nothing unless asked.
class LCompanionProcess {
 public:
  LCompanionProcess() = default;
  ~LCompanionProcess();
  LCompanionProcess(const LCompanionProcess&) = delete;
  LCompanionProcess& operator=(const LCompanionProcess&) = delete;
  // False when the program could not be started.
  bool Start(const std::vector<std::string>& commandLine);
  // True once the program has ended (waits up to milliseconds).
  bool Wait(int milliseconds);
  // Starts the program and forgets it: it outlives this object.
  static bool StartDetached(const std::vector<std::string>& commandLine);

 private:
  int pid_ = -1;
};
