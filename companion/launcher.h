#pragma once
// Companion programs of the same maker (the audio editor Soundsmith, ...):
// whether one is installed, starting it with a file, and installing it on
// demand. A companion's own setup writes a command template ("prog %s") as
// the machine value <valueName> under "Software\Kestrelon\<productKey>\Settings".
#include <functional>
#include <string>

#include "framework/lprogress.h"

class QWidget;

struct LLaunchRequest {
  std::string argument;     // the file put in place of "%s"
  std::string productKey;   // "Soundsmith"
  std::string valueName;    // "RunEdit"
  std::string setupName;    // base name of the setup on the download server
  std::string displayName;  // the name in messages
  std::string webPage;      // the program's page on the maker's site
  std::string program;      // the program's own name on PATH ("" for none)
  bool wait = false;
};

// The template for the request: the stored value when it exists (it may be
// empty); without one, "<program> %s" when the program is on PATH; false
// when neither.
bool CompanionTemplate(const LLaunchRequest& request, std::string& templ);
// True when the program is missing (no template, or an empty one).
bool CompanionMissing(const std::string& productKey, const std::string& valueName, const std::string& program = "");

enum LCompanionResult : int { kCompanionDone = 0, kCompanionCancelled = 1, kCompanionFailed = 2 };

// Downloads, verifies and runs a setup (ProcessInstallProgram); tests may put
// their own in its place (null: the real one again).
using LInstallProgram = std::function<int(LCopyProgress& progress, const std::string& setupName)>;
void CompanionSetInstaller(LInstallProgram installer);
int CompanionInstall(LCopyProgress& progress, const std::string& setupName);

// The launcher: 0 launched (and, when asked, ended or no longer waited for), 2 not launched.
int ProcessLLaunchApplication(LCopyProgress& progress, const LLaunchRequest& request);
// The launcher in its own progress window titled title, modal to owner.
int RunCompanion(QWidget* owner, const std::string& title, const LLaunchRequest& request);
