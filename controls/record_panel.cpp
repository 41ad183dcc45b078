#include "controls/record_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/db_edit.h"
#include "controls/level_meter.h"
#include "controls/transport_icons.h"
#include "controls/wave_window.h"
#include "framework/settings.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/win_defs.h"
#include "platform/audio/mixer.h"
#include "platform/audio/wave_device.h"
#include "platform/program_start.h"

namespace {

constexpr int VK_F6 = 0x75;
constexpr int VK_F7 = 0x76;

bool BuildRecord(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Record Control"));
  auto* layout = new QVBoxLayout(window);
  LPlayerBaseDlg::BuildPlayerControls(window, layout, LRecordDlg::kRecord);

  auto* status = new QLabel(window);
  status->setWordWrap(true);
  status->setStyleSheet(QStringLiteral("color: #b00000"));
  status->hide();
  layout->addWidget(LSetControlId(status, LRecordDlg::kStatus));

  auto* row = new QHBoxLayout;
  auto* devices = new QGroupBox(QStringLiteral(" Record &Device"), window);
  auto* deviceGrid = new QGridLayout(devices);
  deviceGrid->addWidget(LSetControlId(new QComboBox(devices), LRecordDlg::kRecordDevice), 0, 0, 1, 2);
  deviceGrid->addWidget(LSetControlId(new QComboBox(devices), LRecordDlg::kInputLine), 1, 0, 1, 2);
  auto* playLabel = new QLabel(QStringLiteral("&Playback Device"), devices);
  auto* playDevices = new QComboBox(devices);
  playLabel->setBuddy(playDevices);
  deviceGrid->addWidget(playLabel, 2, 0);
  deviceGrid->addWidget(LSetControlId(playDevices, LPlayerBaseDlg::kPlayDevice), 2, 1);
  row->addWidget(devices, 3);

  auto* volumes = new QVBoxLayout;
  auto* recordVolume = new QGroupBox(QStringLiteral(" Record &Volume"), window);
  auto* recordVolumeLayout = new QVBoxLayout(recordVolume);
  auto* slider = new LDBEdit(recordVolume, true, LRecordDlg::kRecordVolume);
  slider->setFixedHeight(22);
  recordVolumeLayout->addWidget(LSetControlId(slider, LRecordDlg::kRecordVolume));
  auto* mixer = new QPushButton(QStringLiteral("Open Windows Record Mixer..."), recordVolume);
  recordVolumeLayout->addWidget(LSetControlId(mixer, LRecordDlg::kMixer));
  // Whichever desktop sound settings are installed; none: the button says so.
  if (FindSoundSettings().program.empty()) {
    mixer->setEnabled(false);
    mixer->setToolTip(QStringLiteral("No sound settings program is installed (pavucontrol, GNOME or KDE)."));
  }
  volumes->addWidget(recordVolume);
  volumes->addWidget(new QLabel(QStringLiteral("Playback Volume"), window));
  auto* playVolume = new LDBEdit(window, true, LPlayerBaseDlg::kPlayVolume);
  playVolume->setFixedHeight(22);
  volumes->addWidget(LSetControlId(playVolume, LPlayerBaseDlg::kPlayVolume));
  volumes->addWidget(
      LSetControlId(new QPushButton(QStringLiteral("Advanced Record Options..."), window), LRecordDlg::kAdvanced));
  row->addLayout(volumes, 2);
  layout->addLayout(row);
  window->resize(560, 420);
  return true;
}

bool BuildAdvanced(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Advanced Settings"));
  auto* layout = new QVBoxLayout(window);
  auto* group = new QGroupBox(QStringLiteral("Advanced Record Settings"), window);
  auto* grid = new QGridLayout(group);
  grid->addWidget(
      LSetControlId(new QCheckBox(QStringLiteral("AutoTrim Recording"), group), LRecordDlgAdvanced::kAutoTrim), 0, 0, 1,
      2);
  grid->addWidget(
      LSetControlId(new QCheckBox(QStringLiteral("Voice Activated Recording"), group), LRecordDlgAdvanced::kVoice), 1,
      0, 1, 2);
  grid->addWidget(LSetControlId(new QLabel(QStringLiteral("Threshold:"), group), LRecordDlgAdvanced::kThresholdLabel),
                  2, 0);
  auto* threshold = new LDBEdit(group, false, LRecordDlgAdvanced::kThreshold);
  threshold->setMinimumWidth(160);
  threshold->setFixedHeight(22);
  grid->addWidget(LSetControlId(threshold, LRecordDlgAdvanced::kThreshold), 2, 1);
  layout->addWidget(group);
  AddDialogButtons(window, layout, QStringLiteral("OK"), LButtonRow::kOk);
  return true;
}

const LToolRow kRecordTools[] = {
    {LRecordDlg::kRecordDevice, "Record Device"},
    {LRecordDlg::kInputLine, "Record Input Channel"},
    {LRecordDlg::kRecordVolume, "Record Volume"},
    {LRecordDlg::kRecord, "Record (F8)"},
};

}  // namespace

const LDialogTemplate& LRecordDlg::Template() {
  static const LDialogTemplate kTemplate{"LRECORDDLG", BuildRecord};
  return kTemplate;
}

int LRecordDlg::Run(QWidget* owner, LPanelFile& file) {
  int result = kDone;
  {
    LRecordDlg panel(file, &result);
    if (!panel.Open(owner, Template())) return kFailed;
  }
  return result;
}

LRecordDlg::LRecordDlg(LPanelFile& file, int* result) : LPlayerBaseDlg(file), result_(result), take_(file) {}

LRecordDlg::~LRecordDlg() {
  recorder_.SetNotify(nullptr, 0);
  recorder_.Stop();
}

void LRecordDlg::InitDialog() {
  LPlayerBaseDlg::InitDialog();
  LAddTools(*this, kRecordTools, int(std::size(kRecordTools)));
  if (auto* volume = ControlAs<LDBEdit>(kRecordVolume)) {
    volume->SetValue(RegGetSettingInt("Recorder", "Volume", 0));
    QObject::connect(volume, &LDBEdit::Command, Window(),
                     [window = Window()](int id, int code) { LSendCommand(window, id, code); });
  }
  if (auto* devices = ControlAs<QComboBox>(kRecordDevice)) {
    devices->clear();
    for (const std::string& name : LSoundInDeviceList()) devices->addItem(QString::fromStdString(name));
    int selected = RegGetSettingInt("Recorder", "Device", 0);
    devices->setCurrentIndex(selected >= 0 && selected < devices->count() ? selected : 0);
  }
  FillInputLines();
  if (auto* lines = ControlAs<QComboBox>(kInputLine)) {
    int selected = RegGetSettingInt("Recorder", "Channel", -1) + 1;
    lines->setCurrentIndex(selected >= 0 && selected < lines->count() ? selected : 0);
  }
  ShowVolumeOrMixer();
  recorder_.SetNotify(this, 0);
  SetRecordButtons(false);
  if (!Recording()) Record(Position());
}

void LRecordDlg::DestroyDialog() {
  if (Window()) {
    if (auto* volume = ControlAs<LDBEdit>(kRecordVolume)) RegSetSettingInt("Recorder", "Volume", volume->GetValue());
    RegSetSettingInt("Recorder", "Device", std::max(SelectedEntry(kRecordDevice), 0));
    RegSetSettingInt("Recorder", "Channel", SelectedEntry(kInputLine) - 1);
  }
  recorder_.SetNotify(nullptr, 0);
  recorder_.Stop();
  LPlayerBaseDlg::DestroyDialog();  // the player and the waveform let go of the take
  LPanelTake::Outcome outcome = take_.Finish();
  if (outcome == LPanelTake::kFailed || (startFailed_ && outcome != LPanelTake::kReplaced)) *result_ = kFailed;
}

void LRecordDlg::FillInputLines() {
  auto* lines = ControlAs<QComboBox>(kInputLine);
  if (!lines) return;
  lines->clear();
  lines->addItem(QStringLiteral("Windows Record Mixer"));
  int device = LMixerInputIndex(std::max(SelectedEntry(kRecordDevice), 0));
  int count = LMixer::GetInputChannelCount(device);
  for (int line = 0; line < count; ++line)
    lines->addItem(QString::fromStdString(LMixer::GetInputChannelName(device, line)));
  lines->setCurrentIndex(0);
  ShowVolumeOrMixer();
}

void LRecordDlg::ShowVolumeOrMixer() {
  bool line = SelectedEntry(kInputLine) > 0;
  if (QWidget* volume = Control(kRecordVolume)) volume->setVisible(line);
  if (QWidget* mixer = Control(kMixer)) mixer->setVisible(!line);
}

void LRecordDlg::ApplyRecordVolume() {
  auto* volume = ControlAs<LDBEdit>(kRecordVolume);
  LMixer::SetInputChannel(LMixerInputIndex(std::max(SelectedEntry(kRecordDevice), 0)), SelectedEntry(kInputLine) - 1,
                          volume ? volume->GetValue() : 0);
}

void LRecordDlg::EvCommand(int id, int notifyCode) {
  switch (id) {
    case kRecordDevice:
      if (notifyCode == CBN_SELCHANGE) FillInputLines();
      return;
    case kInputLine:
      if (notifyCode == CBN_SELCHANGE) {
        ShowVolumeOrMixer();
        ApplyRecordVolume();
      }
      return;
    case kRecordVolume:
      if (notifyCode == LDBEdit::kNotifyChange) ApplyRecordVolume();
      return;
    case kAdvanced: {
      LRecordDlgAdvanced advanced;
      advanced.DoModal(LRecordDlgAdvanced::Template(), Window());
      return;
    }
    case kRecord:
      if (!Recording()) Record(Position());
      return;
    case kStart:
      Recording() ? Record(0) : CmStart();
      return;
    case kForward:
      if (Recording()) {
        if (notifyCode == BN_PUSHED_DOWN) Record(retakeStart_);
        return;
      }
      break;
    case kEnd:
      if (Recording()) {
        Finish(kRecordNext);
        return;
      }
      CmEnd();
      return;
    case kMixer:
      // The desktop's own mixer, on its recording devices page.
      StartSoundSettings(FindSoundSettings());
      return;
    default:
      break;
  }
  LPlayerBaseDlg::EvCommand(id, notifyCode);
}

bool LRecordDlg::EvKeyDown(int key) {
  switch (key) {
    case VK_F5:
      Finish(kRecordNext);
      return true;
    case VK_F6:
      Record(0);
      break;
    case VK_F7:
      Record(retakeStart_);
      break;
    case VK_F8:
      if (!Recording()) Record(Position());
      break;
    default:
      // The player's keys, which this panel's tooltips name too.
      return LPlayerBaseDlg::EvKeyDown(key);
  }
  if (Window()) UpdateControls();
  return true;
}

void LRecordDlg::Finish(int result) {
  *result_ = result;
  Close(IDOK);
}

void LRecordDlg::CmStop() {
  bool wasRecording = Recording();
  recorder_.Stop();
  player_.Stop();
  if (wasRecording && (file_.flags & LPanelFile::kEndOnStop)) Close(IDOK);
}

void LRecordDlg::Record(int32_t startMs) {
  DropSeekRun();
  player_.Stop();
  recorder_.Stop();
  if (wave_) wave_->Stop();
  int device = std::max(SelectedEntry(kRecordDevice), 0);
  ApplyRecordVolume();
  LSoundSinkRef sink = take_.OpenSink(startMs);
  if (sink.IsEmpty()) {
    startFailed_ = true;
    ShowStatus("Cannot write the recording file " + take_.WorkPath() + ".");
    StartWaveScan();
    return;
  }
  int32_t start = LSoundTime::FramesToMs(sink->sPosition, int32_t(sink->sampleRate));
  LRecordOptions options = LRecordOptions::Load();
  recorder_.SetDevice(uint8_t(device));
  if (!recorder_.Start(sink, 0, options.StartLevel(), options.HoldMs())) {
    sink.Release();
    take_.Revert();
    startFailed_ = true;
    ShowStatus(LWaveInDeviceNames().empty()
                   ? "No record device was found. Connect one, then press Record (F8)."
                   : "The record device cannot be opened. Check that it is connected and not in use, then press "
                     "Record (F8).");
    StartWaveScan();
    return;
  }
  take_.Keep();
  startFailed_ = false;
  ShowStatus("");
  retakeStart_ = start;
  length_ = start;
  SetPosition(start);
}

void LRecordDlg::ShowStatus(const std::string& text) {
  if (QWidget* status = Control(kStatus)) {
    LSetControlText(*this, kStatus, text);
    status->setVisible(!text.empty());
  }
}

void LRecordDlg::SetRecordButtons(bool recording) {
  LUpdateTool(*this, kStart, recording ? "Restart (F6)" : "Go to Start (Home)");
  LUpdateTool(*this, kForward, recording ? "Re-Take (F7)" : "Forward (->)");
  LUpdateTool(*this, kEnd, recording ? "Record Next (F5)" : "Go to End (End)");
  if (auto* forward = ControlAs<QPushButton>(kForward))
    forward->setIcon(LTransportIconFor(recording ? LTransportIcon::kRetake : LTransportIcon::kForward));
}

void LRecordDlg::UpdateControls() {
  UpdateTransport();
  SetPushed(kRecord, Recording());
  SetPushed(kStop, !Recording() && !PlayerActive());
}

void LRecordDlg::srntfRecord(uint32_t) {
  SetRecordButtons(true);
  if (Window()) UpdateControls();
}

void LRecordDlg::srntfWait(uint32_t) {
  SetRecordButtons(true);
  if (Window()) UpdateControls();
}

void LRecordDlg::srntfStop(uint32_t) {
  SetRecordButtons(false);
  if (!Window()) return;
  UpdateControls();
  StartWaveScan();
}

void LRecordDlg::srntfTime(int32_t milliseconds, uint32_t) {
  length_ = milliseconds;
  SetPosition(milliseconds);
}

void LRecordDlg::srntfLevel(const LLevelRecord& levels, uint32_t) {
  if (meter_) meter_->SetLevels(levels);
}

// --- LRecordDlgAdvanced -------------------------------------------------------

const LDialogTemplate& LRecordDlgAdvanced::Template() {
  static const LDialogTemplate kTemplate{"LRECORDDLGADVANCED", BuildAdvanced};
  return kTemplate;
}

void LRecordDlgAdvanced::InitDialog() {
  LRecordOptions options = LRecordOptions::Load();
  if (auto* box = ControlAs<QCheckBox>(kAutoTrim)) box->setChecked(options.autoTrim);
  if (auto* box = ControlAs<QCheckBox>(kVoice)) box->setChecked(options.voiceOperated);
  if (auto* threshold = ControlAs<LDBEdit>(kThreshold)) {
    threshold->SetRange(LRecordOptions::kMinThreshold, LRecordOptions::kMaxThreshold);
    threshold->SetValue(options.thresholdDb);
  }
}

void LRecordDlgAdvanced::UpdateControls() {
  auto* autoTrim = ControlAs<QCheckBox>(kAutoTrim);
  LEnableControls(*this, kVoice, kThreshold, autoTrim && autoTrim->isChecked());
}

bool LRecordDlgAdvanced::CmOk() {
  LRecordOptions options;
  auto* autoTrim = ControlAs<QCheckBox>(kAutoTrim);
  auto* voice = ControlAs<QCheckBox>(kVoice);
  auto* threshold = ControlAs<LDBEdit>(kThreshold);
  options.autoTrim = autoTrim && autoTrim->isChecked();
  options.voiceOperated = voice && voice->isChecked();
  options.thresholdDb = threshold ? threshold->GetValue() : -24;
  options.Store();
  return true;
}
