#include "companion/launcher.h"

#include <chrono>
#include <thread>

#include "companion/install_on_demand.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/progress_dialog.h"
#include "framework/widgets/splash.h"
#include "framework/widgets/win_defs.h"
#include "platform/program_start.h"
#include "platform/registry_store.h"

namespace {

LInstallProgram& Installer() {
  static LInstallProgram installer;
  return installer;
}

std::string Replace(const std::string& format, const std::string& value) {
  std::string text = format;
  if (size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, value);
  return text;
}

}  // namespace

bool CompanionTemplate(const LLaunchRequest& request, std::string& templ) {
  std::string key = "Software\\Kestrelon\\" + request.productKey + "\\Settings";
  if (RegistryGetValue(RegistryScope::Machine, key, request.valueName, &templ)) return true;
  if (!request.program.empty() && !LFindProgram(request.program).empty()) {
    templ = request.program + " %s";
    return true;
  }
  templ.clear();
  return false;
}

bool CompanionMissing(const std::string& productKey, const std::string& valueName, const std::string& program) {
  LLaunchRequest request;
  request.productKey = productKey;
  request.valueName = valueName;
  request.program = program;
  std::string templ;
  CompanionTemplate(request, templ);
  return templ.empty();
}

void CompanionSetInstaller(LInstallProgram installer) { Installer() = std::move(installer); }

int CompanionInstall(LCopyProgress& progress, const std::string& setupName) {
  return Installer() ? Installer()(progress, setupName) : ProcessInstallProgram(progress, setupName);
}

int ProcessLLaunchApplication(LCopyProgress& progress, const LLaunchRequest& request) {
  std::string templ;
  if (!CompanionTemplate(request, templ)) {
    CompanionInstall(progress, request.setupName);
    CompanionTemplate(request, templ);
  }
  if (templ.empty()) {
    std::string text =
        Replace("The free plugin \"%s\" program is required. Do you want to download it now?", request.displayName);
    if (LMessageBox(nullptr, text, "Download Required", MB_ICONQUESTION | MB_YESNOCANCEL) == IDYES)
      OpenWebPage(request.webPage);
    return kCompanionFailed;
  }
  LChildProcess process;
  if (!process.Start(LCommandFromTemplate(templ, request.argument))) return kCompanionFailed;
  if (request.wait) {
    progress.SetText(Replace("Please close %s", request.displayName), 0);
    progress.SetText("to continue...", 1);
    auto until = std::chrono::steady_clock::now() + std::chrono::hours(1);
    while (!process.Wait(50) && !progress.Cancelled() && std::chrono::steady_clock::now() < until) {
    }
  }
  return kCompanionDone;
}

namespace {

class LaunchWindow : public LProgressDialog {
 public:
  LaunchWindow(const std::string& title, const LLaunchRequest& request) : LProgressDialog(title), request_(request) {}
  int result = kCompanionFailed;

 protected:
  bool Process() override {
    result = ProcessLLaunchApplication(*this, request_);
    return result == kCompanionDone;
  }

 private:
  const LLaunchRequest& request_;
};

}  // namespace

int RunCompanion(QWidget* owner, const std::string& title, const LLaunchRequest& request) {
  LaunchWindow window(title, request);
  window.Run(owner);
  return window.result;
}
