#include "tutor/audio_new_dlg.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "framework/settings.h"
#include "framework/widgets/controls.h"
#include "framework/widgets/help.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/win_defs.h"
#include "sound/sound_stream.h"
#include "study/dialog_layout.h"
#include "tutor/lesson_props.h"

namespace {

constexpr char kSettings[] = "Settings";

bool BuildAudioNew(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Record New "));
  auto* layout = new QVBoxLayout(window);
  auto* rateGroup = AddGroup(window, layout, QStringLiteral("Sample Rate"));
  auto* rateLayout = new QVBoxLayout(rateGroup);
  auto* rate = new QComboBox(rateGroup);
  rate->setEditable(true);
  rate->setInsertPolicy(QComboBox::NoInsert);
  rateLayout->addWidget(LSetControlId(rate, AudioNewDlg::kRate));
  auto* channels = AddGroup(window, layout, QStringLiteral("Channels"));
  auto* channelLayout = new QHBoxLayout(channels);
  channelLayout->addWidget(
      LSetControlId(new QRadioButton(QStringLiteral("Mono (Single)"), channels), AudioNewDlg::kMono));
  channelLayout->addWidget(
      LSetControlId(new QRadioButton(QStringLiteral("Stereo (Dual)"), channels), AudioNewDlg::kStereo));
  AddDialogButtons(window, layout);
  return true;
}

}  // namespace

const LDialogTemplate& AudioNewDlg::Template() {
  static const LDialogTemplate kTemplate{"AUDIONEWDLG", BuildAudioNew};
  return kTemplate;
}

int AudioNewDlg::SelectedRate() { return RegGetUserSettingInt(kSettings, "SelectedSampleRate", kDefaultRate); }

int AudioNewDlg::SelectedChannels() { return RegGetUserSettingInt(kSettings, "SelectedChannels", 1); }

void AudioNewDlg::InitDialog() {
  LFillComboBox(*this, kRate, kSampleRateList);
  if (auto* rate = ControlAs<QComboBox>(kRate)) rate->setEditText(QString::number(SelectedRate()));
  if (auto* mono = ControlAs<QRadioButton>(SelectedChannels() == 1 ? kMono : kStereo)) mono->setChecked(true);
}

bool AudioNewDlg::CmOk() {
  int rate = 0;
  if (!ParseNewSampleRate(LGetControlText(*this, kRate), &rate)) {
    LMessageBox(Window(), "Invalid Sample Rate.", "", MB_OK | MB_ICONERROR);
    return false;
  }
  auto* mono = ControlAs<QRadioButton>(kMono);
  RegSetUserSettingInt(kSettings, "SelectedSampleRate", rate);
  RegSetUserSettingInt(kSettings, "SelectedChannels", mono && mono->isChecked() ? 1 : 2);
  return true;
}

void AudioNewDlg::CmHelp() { DisplayHelp(kHelpTopic); }
