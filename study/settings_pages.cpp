#include "study/settings_pages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "controls/db_edit.h"
#include "framework/settings.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/file_dialogs.h"
#include "framework/widgets/help.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/run_mode.h"
#include "framework/widgets/win_defs.h"
#include "platform/audio/mixer.h"
#include "platform/program_start.h"
#include "study/dialog_layout.h"
#include "study/system_folders.h"

namespace {

constexpr int kMaxPath = 259;
constexpr char kSettings[] = "Settings";

QLineEdit* FolderRow(QWidget* parent, QGridLayout* grid, int row, const QString& label, int editId, int browseId) {
  grid->addWidget(new QLabel(label, parent), row, 0, 1, 2);
  auto* edit = new QLineEdit(parent);
  edit->setMaxLength(kMaxPath);
  edit->setMinimumWidth(260);
  grid->addWidget(LSetControlId(edit, editId), row + 1, 0);
  auto* browse = new QPushButton(QStringLiteral("..."), parent);
  browse->setFixedWidth(32);
  grid->addWidget(LSetControlId(browse, browseId), row + 1, 1);
  return edit;
}

bool BuildGeneral(QDialog* window) {
  window->setWindowTitle(QStringLiteral("General"));
  auto* layout = new QVBoxLayout(window);
  auto* folders = AddGroup(window, layout, QStringLiteral("System Folders"));
  auto* grid = new QGridLayout(folders);
  FolderRow(folders, grid, 0, QStringLiteral("Lessons Folder:"), LGeneralPage::kLessons, LGeneralPage::kLessonsBrowse);
  FolderRow(folders, grid, 2, QStringLiteral("Recordings Folder:"), LGeneralPage::kRecordings,
            LGeneralPage::kRecordingsBrowse);
  auto* options = AddGroup(window, layout, QStringLiteral("Study Options"));
  auto* gaps = new QGridLayout(options);
  const std::pair<const char*, int> rows[] = {
      {"Silence gaps between expressions when playing (in secs)", LGeneralPage::kPlayGap},
      {"Silence gaps between expressions when recording (in secs)", LGeneralPage::kRecordGap}};
  int row = 0;
  for (const auto& [text, id] : rows) {
    gaps->addWidget(new QLabel(QString::fromUtf8(text), options), row, 0);
    auto* edit = new QLineEdit(options);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), edit));
    edit->setFixedWidth(48);
    gaps->addWidget(LSetControlId(edit, id), row++, 1);
  }
  layout->addStretch();
  return true;
}

LDBEdit* AddDBEdit(QWidget* parent, int id) {
  auto* edit = new LDBEdit(parent, false, id);
  edit->setMinimumHeight(22);
  LSetControlId(edit, id);
  QObject::connect(edit, &LDBEdit::Command, edit, [edit](int control, int code) { LSendCommand(edit, control, code); });
  return edit;
}

bool BuildAudio(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Audio"));
  auto* layout = new QVBoxLayout(window);
  auto* recording = AddGroup(window, layout, QStringLiteral("Recording"));
  auto* grid = new QGridLayout(recording);
  grid->addWidget(new QLabel(QStringLiteral("Record Device"), recording), 0, 0);
  grid->addWidget(LSetControlId(new QComboBox(recording), LAudioPage::kInDevice), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Input Channel"), recording), 1, 0);
  grid->addWidget(LSetControlId(new QComboBox(recording), LAudioPage::kInChannel), 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Record Volume"), recording), 2, 0);
  // The volume and the mixer button share one place; one of them shows.
  auto* place = new QWidget(recording);
  auto* stack = new QStackedLayout(place);
  stack->setStackingMode(QStackedLayout::StackAll);
  stack->addWidget(AddDBEdit(place, LAudioPage::kInVolume));
  stack->addWidget(LSetControlId(new QPushButton(QStringLiteral("Open Sound Settings"), place), LAudioPage::kMixer));
  grid->addWidget(place, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("Voice Activate Level"), recording), 3, 0);
  grid->addWidget(AddDBEdit(recording, LAudioPage::kVoiceLevel), 3, 1);
  grid->setColumnStretch(1, 1);
  auto* playback = AddGroup(window, layout, QStringLiteral("Playback"));
  auto* play = new QGridLayout(playback);
  play->addWidget(new QLabel(QStringLiteral("Sound Play Device"), playback), 0, 0);
  play->addWidget(LSetControlId(new QComboBox(playback), LAudioPage::kOutDevice), 0, 1);
  play->addWidget(new QLabel(QStringLiteral("Play Volume Level"), playback), 1, 0);
  play->addWidget(AddDBEdit(playback, LAudioPage::kOutVolume), 1, 1);
  play->setColumnStretch(1, 1);
  layout->addStretch();
  return true;
}

void FillCombo(LDialog& dialog, int id, const std::vector<std::string>& entries, int selection) {
  auto* combo = dialog.ControlAs<QComboBox>(id);
  if (!combo) return;
  combo->clear();
  for (const std::string& entry : entries) combo->addItem(QString::fromStdString(entry));
  combo->setCurrentIndex(selection >= 0 && selection < combo->count() ? selection : 0);
}

int ComboIndex(LDialog& dialog, int id) {
  auto* combo = dialog.ControlAs<QComboBox>(id);
  return combo ? std::max(0, combo->currentIndex()) : 0;
}

int DBValue(LDialog& dialog, int id) {
  auto* edit = dialog.ControlAs<LDBEdit>(id);
  return edit ? edit->GetValue() : 0;
}

void SetDBValue(LDialog& dialog, int id, int value) {
  if (auto* edit = dialog.ControlAs<LDBEdit>(id)) edit->SetValue(value);
}

}  // namespace

// --- LGeneralPage -----------------------------------------------------------

LGeneralPage::LGeneralPage(bool* foldersChanged) : foldersChanged_(foldersChanged) { PreparePage(Template()); }

const LDialogTemplate& LGeneralPage::Template() {
  static const LDialogTemplate kTemplate{"GENERALPAGE", BuildGeneral};
  return kTemplate;
}

void LGeneralPage::InitDialog() {
  bool tutor = IsTutorMode();
  LSetControlText(*this, kLessons, ReadSystemFolder(SystemFolderKey(true, tutor)));
  // The tutor sets the lessons folder in the tutor window's own settings.
  LEnableControls(*this, kLessons, kLessonsBrowse, !tutor);
  LSetControlText(*this, kRecordings, ReadSystemFolder(SystemFolderKey(false, tutor)));
  LSetControlText(*this, kPlayGap, std::to_string(ReadSilenceGap("PlaySilenceGaps")));
  LSetControlText(*this, kRecordGap, std::to_string(ReadSilenceGap("RecordSilenceGaps")));
}

void LGeneralPage::Browse(int editId) {
  std::string folder = LGetControlText(*this, editId);
  if (LBrowseForFolder(Window(), folder, "Locate folder:")) LSetControlText(*this, editId, folder);
}

void LGeneralPage::EvCommand(int id, int notifyCode) {
  if (notifyCode != BN_CLICKED) return;
  if (id == kLessonsBrowse) Browse(kLessons);
  if (id == kRecordingsBrowse) Browse(kRecordings);
}

bool LGeneralPage::CmOk() {
  bool tutor = IsTutorMode();
  std::string lessons = LGetControlText(*this, kLessons);
  std::string recordings = LGetControlText(*this, kRecordings);
  std::string message;
  const std::pair<std::string, const std::string*> fields[] = {{SystemFolderKey(true, tutor), &lessons},
                                                               {SystemFolderKey(false, tutor), &recordings}};
  for (const auto& [key, folder] : fields) {
    if (!CheckFolderField(key, *folder, &message)) {
      LMessageBox(Window(), message, "", MB_OK | MB_ICONERROR);
      return false;
    }
  }
  if (!tutor) StoreSystemFolder(SystemFolderKey(true, false), lessons, foldersChanged_);
  StoreSystemFolder(SystemFolderKey(false, tutor), recordings, foldersChanged_);
  RegSetUserSettingInt(kSettings, "PlaySilenceGaps", SilenceGapFromText(LGetControlText(*this, kPlayGap)));
  RegSetUserSettingInt(kSettings, "RecordSilenceGaps", SilenceGapFromText(LGetControlText(*this, kRecordGap)));
  return true;
}

void LGeneralPage::CmHelp() { DisplayHelp(kHelpTopic); }

// --- LAudioPage -------------------------------------------------------------

// The Audio page stores no folder; it takes the flag only to match its sibling.
LAudioPage::LAudioPage(bool* /*foldersChanged*/) { PreparePage(Template()); }

const LDialogTemplate& LAudioPage::Template() {
  static const LDialogTemplate kTemplate{"AUDIOPAGE", BuildAudio};
  return kTemplate;
}

void LAudioPage::InitDialog() {
  FillCombo(*this, kInDevice, LSoundInDeviceList(), RegGetSettingInt(kSettings, "SoundInDevice", 0));
  SetupRecordChannels();
  SetDBValue(*this, kInVolume, RegGetUserSettingInt(kSettings, "SoundInVolume", 0));
  if (auto* voice = ControlAs<LDBEdit>(kVoiceLevel)) voice->SetRange(-40, -6);
  SetDBValue(*this, kVoiceLevel, RegGetUserSettingInt(kSettings, "VoiceActivateLevel", -18));
  FillCombo(*this, kOutDevice, LSoundOutDeviceList(), RegGetSettingInt(kSettings, "SoundOutDevice", 0));
  SetDBValue(*this, kOutVolume, RegGetUserSettingInt(kSettings, "SoundOutVolume", 0));
  ProgramCall soundSettings = FindSoundSettings();
  if (QWidget* mixer = Control(kMixer)) {
    mixer->setEnabled(!soundSettings.program.empty());
    mixer->setToolTip(soundSettings.program.empty()
                          ? QStringLiteral("No sound settings program is installed (pavucontrol, GNOME or KDE).")
                          : QStringLiteral("Opens the desktop's sound settings on their input page."));
  }
}

void LAudioPage::SetupRecordChannels() {
  int device = LMixerInputIndex(ComboIndex(*this, kInDevice));
  std::vector<std::string> lines = {"System Record Mixer"};
  for (int line = 0, count = LMixer::GetInputChannelCount(device); line < count; ++line)
    lines.push_back(LMixer::GetInputChannelName(device, line));
  FillCombo(*this, kInChannel, lines, RegGetSettingInt(kSettings, "SoundInChannel", -1) + 1);
}

void LAudioPage::UpdateControls() {
  bool mixer = ComboIndex(*this, kInChannel) == 0;
  if (QWidget* volume = Control(kInVolume)) volume->setVisible(!mixer);
  if (QWidget* button = Control(kMixer)) button->setVisible(mixer);
}

void LAudioPage::EvCommand(int id, int notifyCode) {
  switch (id) {
    case kInDevice:
      if (notifyCode == CBN_SELCHANGE) SetupRecordChannels();
      break;
    case kInVolume:
      if (notifyCode == LDBEdit::kNotifyChange) {
        int volume = DBValue(*this, kInVolume);
        RegSetUserSettingInt(kSettings, "SoundInVolume", volume);
        // Only the volume: the device and line on the page are not chosen until OK.
        LAudioSetRecordVolume(volume);
      }
      break;
    case kMixer:
      if (notifyCode == BN_CLICKED) StartSoundSettings(FindSoundSettings());
      break;
    case kOutVolume:
      if (notifyCode == LDBEdit::kNotifyChange) {
        int volume = DBValue(*this, kOutVolume);
        RegSetUserSettingInt(kSettings, "SoundOutVolume", volume);
        SetOutputVolume(ComboIndex(*this, kOutDevice) - 1, volume, 0);
      }
      break;
    default:
      break;
  }
}

bool LAudioPage::CmOk() {
  RegSetSettingInt(kSettings, "SoundInDevice", ComboIndex(*this, kInDevice));
  RegSetUserSettingInt(kSettings, "VoiceActivateLevel", DBValue(*this, kVoiceLevel));
  RegSetSettingInt(kSettings, "SoundInChannel", ComboIndex(*this, kInChannel) - 1);
  RegSetSettingInt(kSettings, "SoundOutDevice", ComboIndex(*this, kOutDevice));
  return true;
}

void LAudioPage::CmHelp() { DisplayHelp(kHelpTopic); }

// --- the sheet --------------------------------------------------------------

int RunStudySettings(QWidget* owner, StudySettingsResult* result) {
  int playGap = ReadSilenceGap("PlaySilenceGaps"), recordGap = ReadSilenceGap("RecordSilenceGaps");
  StudySettingsResult local;
  LGeneralPage general(&local.foldersChanged);
  LAudioPage audio(&local.foldersChanged);
  LPropertySheet sheet("Settings", LPropertySheet::kNoApply | LPropertySheet::kHasHelp);
  sheet.AddPage(&general);
  sheet.AddPage(&audio);
  int code = sheet.Run(owner);
  local.gapsChanged = ReadSilenceGap("PlaySilenceGaps") != playGap || ReadSilenceGap("RecordSilenceGaps") != recordGap;
  if (result) *result = local;
  return code;
}
