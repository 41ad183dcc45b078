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
std::vector<std::string> LCommandFromTemplate(const std::string& templ, const std::string& argument);
// The full path of program when it is an executable file in one of the
// folders of pathVariable (as in PATH; the environment's PATH when omitted)
// or a path to one; "" otherwise.
std::string LFindProgram(const std::string& program);
std::string LFindProgram(const std::string& program, const std::string& pathVariable);

// A started program, its input and output on /dev/null; waits and kills
// nothing unless asked, and never leaves a zombie.
class LChildProcess {
 public:
  LChildProcess() = default;
  ~LChildProcess();
  LChildProcess(const LChildProcess&) = delete;
  LChildProcess& operator=(const LChildProcess&) = delete;
  // commandLine[0] is looked up as LFindProgram does; false when the program
  // could not be started.
  bool Start(const std::vector<std::string>& commandLine);
  // True once the program has ended (waits up to milliseconds); status, when
  // given, gets its exit code, or -1 when it did not exit normally.
  bool Wait(int milliseconds, int* status = nullptr);
  // Starts the program in a session of its own and forgets it: it outlives
  // this process.
  static bool StartDetached(const std::vector<std::string>& commandLine);

 private:
  int pid_ = -1;
  int exitCode_ = -1;
};

// A program to start, without a shell.
struct ProgramCall {
  std::string program;  // full path; empty when there is none
  std::vector<std::string> arguments;
};
// The desktop's sound settings opened on their input page, looked up in the
// folders of pathVariable (as in PATH): pavucontrol, the GNOME or the KDE
// settings, in that order.
ProgramCall FindSoundSettings();  // in the environment's PATH
ProgramCall FindSoundSettings(const std::string& pathVariable);
// Starts it detached; false when none is installed or it cannot start.
bool StartSoundSettings(const ProgramCall& call);
