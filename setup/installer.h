#pragma once
// Installing and uninstalling for one user, without windows: the dialogs in
// install_dialog.h drive these steps and show their progress.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "setup/install_file.h"

// Where a per-user install puts things. Every folder is absolute.
struct LInstallPaths {
  std::string programFolder;       // ~/.local/lib/kestrelon/orativo
  std::string binFolder;           // ~/.local/bin
  std::string applicationsFolder;  // ~/.local/share/applications
  std::string iconsFolder;         // ~/.local/share/icons/hicolor
  std::string desktopFolder;       // the user's desktop; "" when there is none
  // From HOME, XDG_DATA_HOME and the desktop folder of user-dirs.dirs.
  static LInstallPaths ForUser();
  std::string Program() const { return programFolder + "/orativo"; }
  std::string Uninstaller() const { return programFolder + "/uninstall"; }
  std::string Manifest() const { return programFolder + "/install-manifest"; }
};

// The package's copy, which a per-user install shadows in the menu.
bool PackagedCopyExists();

enum class LInstallResult { kDone, kCancelled, kCorrupt, kFailed };

class LInstaller {
 public:
  // progress(file name, fraction) returns false to cancel.
  using Progress = std::function<bool(const std::string&, double)>;

  LInstaller(std::string installFile, LInstallPaths paths);
  ~LInstaller();  // discards what was staged and not committed
  LInstaller(const LInstaller&) = delete;
  LInstaller& operator=(const LInstaller&) = delete;

  // Checks the whole install file first, then copies its payload into a
  // staging folder beside the program folder. Nothing installed changes.
  LInstallResult Stage(const Progress& progress);
  // Puts the staged files in place of any earlier install, then writes the
  // uninstaller, the menu and desktop entries for the mode ("Tutor" or
  // "Student"), the icons, the link on the path and the manifest.
  bool Commit(const std::string& mode, std::string* error);
  void Discard();

 private:
  std::string installFile_;
  LInstallPaths paths_;
  std::string staging_;
};

// Removes what the manifest lists whose content is still as installed, then
// the folders that became empty. Files the user changed are kept and returned.
// The program's settings go too; lessons and recordings stay.
bool UninstallForUser(const LInstallPaths& paths, std::vector<std::string>* kept);
