#include "setup/install_dialog.h"

#include <unistd.h>

#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <filesystem>

#include "framework/settings.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/help.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/progress_dialog.h"
#include "framework/widgets/win_defs.h"
#include "platform/program_start.h"
#include "setup/installer.h"

const char kInstallAsRootText[] =
    "Orativo installs for one user and is not installed as root.\n\nTo install it for every user of this computer, "
    "install the orativo package with the system's package manager.";
const char kStillRunningText[] =
    "Orativo is still running and did not close.\n\nPlease close Orativo and run the installation again.";

namespace {

const char kCorruptText[] =
    "Installation file corrupt.\n\nA checksum error was detected in your install file, please redownload file and "
    "install again.";

bool BuildSetup(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Install"));
  auto* layout = new QVBoxLayout(window);
  layout->addWidget(new QLabel(QStringLiteral("Which of the following you want to install?"), window));
  layout->addWidget(LSetControlId(new QRadioButton(QStringLiteral("Tutor Mode (prepare and preview lessons)"), window),
                                  SetupDlg::kTutor));
  layout->addWidget(
      LSetControlId(new QRadioButton(QStringLiteral("Student Mode (study lessons only)"), window), SetupDlg::kStudent));
  AddDialogButtons(window, layout);
  return true;
}

QRadioButton* Radio(const LDialog& dialog, int id) { return dialog.ControlAs<QRadioButton>(id); }

class InstallDialog : public LProgressDialog {
 public:
  explicit InstallDialog(std::string installFile)
      : LProgressDialog("Installing Orativo"), installer_(std::move(installFile), LInstallPaths::ForUser()) {}
  std::string mode;

 protected:
  bool Process() override {
    SetText("Installing Orativo", kLine0);
    LInstallResult staged = installer_.Stage([this](const std::string& name, double fraction) {
      SetText(name, kLine1);
      SetProgress(fraction);
      return !Pump();
    });
    if (staged == LInstallResult::kCorrupt) {
      LMessageBox(Window(), kCorruptText, "Install Error", MB_ICONEXCLAMATION | MB_OK);
      return false;
    }
    if (staged != LInstallResult::kDone) {
      if (staged == LInstallResult::kFailed)
        LMessageBox(Window(), "Orativo could not be copied into its folder.", "Install Error", MB_ICONERROR | MB_OK);
      return false;
    }
    SetText("Finalizing", kLine1);
    SetupDlg question;
    if (question.DoModal(SetupDlg::Template(), Window()) != IDOK) return false;  // the staged copy goes
    mode = RegGetSettingBool("Settings", "StudentMode", false) ? "Student" : "Tutor";
    std::string error;
    if (!installer_.Commit(mode, &error)) {
      LMessageBox(Window(), "Orativo could not be installed: " + error + ".", "Install Error", MB_ICONERROR | MB_OK);
      return false;
    }
    return true;
  }

 private:
  LInstaller installer_;
};

}  // namespace

const LDialogTemplate& SetupDlg::Template() {
  static const LDialogTemplate kTemplate{"SetupDlg", BuildSetup};
  return kTemplate;
}

void SetupDlg::InitDialog() {
  const bool student = RegGetSettingBool("Settings", "StudentMode", false);
  if (auto* radio = Radio(*this, student ? kStudent : kTutor)) radio->setChecked(true);
}

bool SetupDlg::CmOk() {
  auto* student = Radio(*this, kStudent);
  RegSetSettingBool("Settings", "StudentMode", student && student->isChecked());
  return true;
}

void SetupDlg::CmHelp() { DisplayHelpContents(); }

void SetupDlg::UpdateControls() {
  auto* student = Radio(*this, kStudent);
  auto* tutor = Radio(*this, kTutor);
  LEnableControl(*this, IDOK, (student && student->isChecked()) || (tutor && tutor->isChecked()));
}

void SetupDlg::EvCommand(int, int) {}

int RunInstall(const std::string& installFile, const std::function<bool()>& closeRunningCopy) {
  if (geteuid() == 0) {
    LMessageBox(nullptr, kInstallAsRootText, "Install Error", MB_ICONERROR | MB_OK);
    return 1;
  }
  if (PackagedCopyExists())
    LMessageBox(nullptr,
                "A copy of Orativo is installed from a package on this computer.\n\nThe copy you install now is "
                "yours alone and takes its place in your menu.",
                "Install", MB_ICONINFORMATION | MB_OK);
  if (closeRunningCopy && !closeRunningCopy()) {
    LMessageBox(nullptr, kStillRunningText, "Install Error", MB_ICONERROR | MB_OK);
    return 1;
  }
  InstallDialog dialog(installFile);
  if (!dialog.Run(nullptr)) return 1;
  // The new copy offers the related programs once.
  LChildProcess::StartDetached({LInstallPaths::ForUser().Program(), "/install", "-x", dialog.mode});
  return 0;
}

int RunUninstall(const std::string& uninstallerFile, const std::function<bool()>& closeRunningCopy) {
  if (geteuid() == 0) {  // root's own settings are not the user's
    LMessageBox(nullptr, kInstallAsRootText, "Uninstall Orativo", MB_ICONERROR | MB_OK);
    return 1;
  }
  if (LMessageBox(nullptr, "Are you sure you want to remove Orativo from this computer?", "Uninstall Orativo",
                  MB_ICONERROR | MB_YESNO) != IDYES)
    return 0;
  if (closeRunningCopy && !closeRunningCopy()) {
    LMessageBox(nullptr, kStillRunningText, "Uninstall Orativo", MB_ICONERROR | MB_OK);
    return 1;
  }
  LInstallPaths paths = LInstallPaths::ForUser();
  // The uninstaller works on the install it belongs to, wherever that is;
  // the same folder reached through a link keeps the name the manifest uses.
  const size_t slash = uninstallerFile.find_last_of('/');
  std::error_code ec;
  if (slash != std::string::npos &&
      !std::filesystem::equivalent(uninstallerFile.substr(0, slash), paths.programFolder, ec))
    paths.programFolder = uninstallerFile.substr(0, slash);
  std::vector<std::string> kept;
  if (!UninstallForUser(paths, &kept)) {
    LMessageBox(nullptr, "Orativo cannot find what its installation made, so nothing was removed.", "Uninstall Orativo",
                MB_ICONERROR | MB_OK);
    return 1;
  }
  std::string text = "Orativo has been removed. Your lessons and recordings are still there.";
  if (!kept.empty()) {
    text += "\n\nThese files were changed after the installation and were kept:";
    for (const std::string& path : kept) text += "\n" + path;
  }
  LMessageBox(nullptr, text, "Uninstall Orativo", MB_ICONINFORMATION | MB_OK);
  return 0;
}
