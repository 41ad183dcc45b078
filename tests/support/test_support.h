#pragma once
// Helpers shared by the test programs.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder below the test run's ORATIVO_HOME, removed with its contents on destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets an environment variable for the scope, restoring the old value after.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);  // value null: unset
  ~ScopedEnv();

 private:
  std::string name_;
  bool had_;
  std::string old_;
};

// A private ORATIVO_HOME for the object's life: settings and folders written
// meanwhile start empty and vanish with it.
class PrivateHome {
 public:
  const std::string& Path() const { return folder_.Path(); }
  std::string File(const std::string& name) const { return folder_.File(name); }

 private:
  TempFolder folder_;
  ScopedEnv env_{"ORATIVO_HOME", folder_.Path().c_str()};
};

// Handles events until done() holds; false when timeoutMs passed first.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 20000);
// Handles events for ms.
void Pump(int ms);

// Runs a shell command line; returns its exit status (-1 when it could not run).
int RunCommand(const std::string& commandLine);
// Runs a shell command line and returns its standard output.
std::string CommandOutput(const std::string& commandLine);
// True when a program of that name is on PATH.
bool HaveCommand(const std::string& name);
// True under CI (ORATIVO_CI=1), where a missing test tool fails the test.
bool InCI();
// Path of one of our own built tools (orativo-decode, ...), from the build folder.
std::string ToolPath(const std::string& name);
// Runs one of our own tools without a shell, each argument one word; returns
// its exit status (-1 when it could not run or crashed) and its standard output.
int RunTool(const std::string& name, const std::vector<std::string>& arguments, std::string* output = nullptr);

// Every file and folder below folder (recursively) with its bytes, for before/after comparisons.
std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& folder);

// Xvfb on a free display number, ended with the object; Name() is empty when none started.
class XDisplay {
 public:
  XDisplay();
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;
  const std::string& Name() const { return name_; }
  // Runs xdotool on this display; its output without the trailing newline.
  std::string Xdo(const std::string& arguments) const;
  // The first window id xdotool's search found, or "" after its timeout.
  std::string Search(const std::string& nameRegex) const;

 private:
  std::string name_;
  int pid_ = -1;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteFileText(const std::string& path, const std::string& text);

// A 16-bit PCM WAV with a 44-byte header (the common layout other programs write).
bool WriteWav16(const std::string& path, int rate, int channels, const std::vector<int16_t>& samples);
// Reads a 16-bit PCM WAV written by any tool (skips unknown chunks); false when it is not one.
bool ReadWav16(const std::string& path, int* rate, int* channels, std::vector<int16_t>* samples);
// A sine tone, interleaved into channels identical channels.
std::vector<int16_t> Tone(int rate, int channels, int frames, double hz, double amplitude);

}  // namespace testsupport

// Skips the current test when a tool the fixture needs is missing; under CI
// (ORATIVO_CI=1) the missing tool is a failure instead.
#define REQUIRE_COMMAND(name)                                      \
  do {                                                             \
    if (!testsupport::HaveCommand(name)) {                         \
      if (testsupport::InCI()) {                                   \
        FAIL() << (name) << " is not installed (needed under CI)"; \
      }                                                            \
      GTEST_SKIP() << (name) << " is not installed";               \
    }                                                              \
  } while (0)
