#include "tutor/set_dlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "framework/settings.h"
#include "framework/widgets/controls.h"
#include "framework/widgets/file_dialogs.h"
#include "framework/widgets/help.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/win_defs.h"
#include "sound/sound_stream.h"
#include "study/dialog_layout.h"
#include "study/system_folders.h"

namespace {

constexpr char kSettings[] = "Settings";
constexpr int kMaxPath = 259;

bool BuildSettings(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Settings"));
  auto* layout = new QVBoxLayout(window);
  auto* folders = AddGroup(window, layout, QStringLiteral("System Folders"));
  auto* grid = new QGridLayout(folders);
  grid->addWidget(new QLabel(QStringLiteral("Lessons Folder:"), folders), 0, 0, 1, 2);
  auto* edit = new QLineEdit(folders);
  edit->setMaxLength(kMaxPath);
  edit->setMinimumWidth(260);
  grid->addWidget(LSetControlId(edit, SetDlg::kLessons), 1, 0);
  auto* browse = new QPushButton(QStringLiteral("..."), folders);
  browse->setFixedWidth(32);
  grid->addWidget(LSetControlId(browse, SetDlg::kBrowse), 1, 1);
  auto* files = AddGroup(window, layout, QStringLiteral("Audio Files"));
  auto* options = new QGridLayout(files);
  options->addWidget(new QLabel(QStringLiteral("When creating a new audio file..."), files), 0, 0, 1, 2);
  options->addWidget(
      LSetControlId(new QRadioButton(QStringLiteral("Prompt for Sample Rate and Channels"), files), SetDlg::kPrompt), 1,
      0, 1, 2);
  options->addWidget(LSetControlId(new QRadioButton(QStringLiteral("Use Default Sample Rate and Channels"), files),
                                   SetDlg::kUseDefault),
                     2, 0, 1, 2);
  options->addWidget(LSetControlId(new QLabel(QStringLiteral("Sample Rate:"), files), SetDlg::kRateLabel), 3, 0);
  options->addWidget(LSetControlId(new QComboBox(files), SetDlg::kRate), 3, 1);
  options->addWidget(LSetControlId(new QLabel(QStringLiteral("Channels:"), files), SetDlg::kChannelsLabel), 4, 0);
  options->addWidget(LSetControlId(new QComboBox(files), SetDlg::kChannels), 4, 1);
  AddDialogButtons(window, layout);
  return true;
}

bool Checked(LDialog& dialog, int id) {
  auto* button = dialog.ControlAs<QRadioButton>(id);
  return button && button->isChecked();
}

void SelectIndex(LDialog& dialog, int id, int index) {
  auto* combo = dialog.ControlAs<QComboBox>(id);
  if (combo) combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : 0);
}

int SelectedIndex(LDialog& dialog, int id) {
  auto* combo = dialog.ControlAs<QComboBox>(id);
  return combo ? std::max(0, combo->currentIndex()) : 0;
}

}  // namespace

const LDialogTemplate& SetDlg::Template() {
  static const LDialogTemplate kTemplate{"SETDLG", BuildSettings};
  return kTemplate;
}

void SetDlg::InitDialog() {
  LSetControlText(*this, kLessons, ReadSystemFolder(SystemFolderKey(true, true)));
  bool prompt = RegGetUserSettingBool(kSettings, "PromptSampleAndChannels", true);
  if (auto* radio = ControlAs<QRadioButton>(prompt ? kPrompt : kUseDefault)) radio->setChecked(true);
  LFillComboBox(*this, kRate, kSampleRateList);
  SelectIndex(*this, kRate, RegGetUserSettingInt(kSettings, "DefaultSampleRate", kDefaultRateIndex));
  static const char* const kChannelNames[] = {"Mono", "Stereo", nullptr};
  LFillComboBox(*this, kChannels, kChannelNames);
  SelectIndex(*this, kChannels, RegGetUserSettingInt(kSettings, "DefaultChannels", 0));
}

void SetDlg::UpdateControls() { LEnableControls(*this, kRateLabel, kChannels, Checked(*this, kUseDefault)); }

void SetDlg::EvCommand(int id, int notifyCode) {
  if (id != kBrowse || notifyCode != BN_CLICKED) return;
  std::string folder = LGetControlText(*this, kLessons);
  if (LBrowseForFolder(Window(), folder, "Locate folder:")) LSetControlText(*this, kLessons, folder);
}

bool SetDlg::CmOk() {
  std::string lessons = LGetControlText(*this, kLessons), message;
  if (!CheckFolderField(lessons, &message)) {
    LMessageBox(Window(), message, "", MB_OK | MB_ICONERROR);
    return false;
  }
  StoreSystemFolder(SystemFolderKey(true, true), lessons, foldersChanged_);
  RegSetUserSettingBool(kSettings, "PromptSampleAndChannels", Checked(*this, kPrompt));
  RegSetUserSettingInt(kSettings, "DefaultSampleRate", SelectedIndex(*this, kRate));
  RegSetUserSettingInt(kSettings, "DefaultChannels", SelectedIndex(*this, kChannels));
  return true;
}

void SetDlg::CmHelp() { DisplayHelp(kHelpTopic); }
