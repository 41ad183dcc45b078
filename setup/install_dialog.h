#pragma once
// The windows of installing and uninstalling: the progress window, the mode
// question and the messages. The work itself is LInstaller's.
#include <functional>
#include <string>

#include "framework/widgets/dialog.h"

// "Install": which face this computer gets, stored as Settings/StudentMode.
class SetupDlg : public LDialog {
 public:
  static constexpr int kStudent = 101;
  static constexpr int kTutor = 102;
  static const LDialogTemplate& Template();
  void InitDialog() override;
  bool CmOk() override;
  void CmHelp() override;
  void UpdateControls() override;
  void EvCommand(int id, int notifyCode) override;
};

extern const char kInstallAsRootText[];
extern const char kStillRunningText[];

// The whole install run of an install file. closeRunningCopy asks a running
// copy to end and is true once none runs. Returns the process exit code.
int RunInstall(const std::string& installFile, const std::function<bool()>& closeRunningCopy);
// The uninstaller, in place: asks, then removes what the install made.
int RunUninstall(const std::string& uninstallerFile, const std::function<bool()>& closeRunningCopy);
