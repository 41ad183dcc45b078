#include "controls/player_panel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/db_edit.h"
#include "controls/level_meter.h"
#include "controls/transport_icons.h"
#include "controls/wave_window.h"
#include "framework/settings.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/win_defs.h"
#include "platform/audio/mixer.h"
#include "sound/processors.h"

namespace {

constexpr int VK_F10 = 0x79;
constexpr int kMaxText = 259;

QPushButton* TransportButton(QDialog* window, int id, LTransportIcon icon, bool checkable) {
  auto* button = new QPushButton(window);
  button->setIcon(LTransportIconFor(icon));
  button->setIconSize(QSize(32, 24));
  button->setCheckable(checkable);
  button->setFocusPolicy(Qt::NoFocus);  // keys belong to the panel, not to a button
  LSetControlId(button, id);
  return button;
}

bool BuildPlayer(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Player"));
  auto* layout = new QVBoxLayout(window);
  LPlayerBaseDlg::BuildPlayerControls(window, layout);
  auto* row = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("&Playback Device"), window);
  auto* devices = new QComboBox(window);
  label->setBuddy(devices);
  row->addWidget(label);
  row->addWidget(LSetControlId(devices, LPlayerBaseDlg::kPlayDevice), 1);
  row->addWidget(new QLabel(QStringLiteral("Volume"), window));
  auto* volume = new LDBEdit(window, false, LPlayerBaseDlg::kPlayVolume);
  volume->setMinimumWidth(140);
  row->addWidget(LSetControlId(volume, LPlayerBaseDlg::kPlayVolume));
  layout->addLayout(row);
  window->resize(520, 300);
  return true;
}

// The scroll handler's code for what the user did to the scroll bar; -1 for none.
int ScrollCodeOf(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      return kScrollLineLeft;
    case QAbstractSlider::SliderSingleStepAdd:
      return kScrollLineRight;
    case QAbstractSlider::SliderPageStepSub:
      return kScrollPageLeft;
    case QAbstractSlider::SliderPageStepAdd:
      return kScrollPageRight;
    case QAbstractSlider::SliderMove:
      return kScrollThumbTrack;
    case QAbstractSlider::SliderToMinimum:
      return kScrollLeft;
    case QAbstractSlider::SliderToMaximum:
      return kScrollRight;
    default:
      return -1;
  }
}

const LToolRow kPlayerTools[] = {
    {LPlayerBaseDlg::kPlayDevice, "Playback Device"},
    {LPlayerBaseDlg::kPlayVolume, "Volume"},
    {LPlayerBaseDlg::kPlay, "Play (F9)"},
    {LPlayerBaseDlg::kScrub, "Scrub (Space)"},
    {LPlayerBaseDlg::kStop, "Stop (Esc)"},
    {LPlayerBaseDlg::kStart, "Go to Start (Home)"},
    {LPlayerBaseDlg::kRewind, "Rewind (<-)"},
    {LPlayerBaseDlg::kForward, "Forward (->)"},
    {LPlayerBaseDlg::kEnd, "Go to End (End)"},
    {LPlayerBaseDlg::kName, "Name"},
};

// Holding one of these keys must not start again what its press began; in
// the name field Space types.
bool ActsOncePerPress(int key, const QWidget* name) {
  if (key == VK_SPACE) return !(name && name->hasFocus());
  return key == VK_HOME || key == VK_END || (key >= VK_F5 && key <= VK_F10);
}

}  // namespace

void LPlayerBaseDlg::BuildPlayerControls(QDialog* window, QBoxLayout* layout, int recordId) {
  auto* name = new QLineEdit(window);
  name->setMaxLength(kMaxText);
  layout->addWidget(LSetControlId(name, kName));
  auto* wave = new LWaveWindow(window, kWave);
  wave->setMinimumHeight(90);
  layout->addWidget(LSetControlId(wave, kWave), 1);
  auto* timeRow = new QHBoxLayout;
  auto* meter = new LDBDisplay(window);
  meter->setFixedHeight(22);
  timeRow->addWidget(LSetControlId(meter, kLevelMeter), 1);
  auto* time = new QLabel(window);
  time->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  time->setMinimumWidth(110);
  timeRow->addWidget(LSetControlId(time, kTimeDisplay));
  layout->addLayout(timeRow);
  auto* scroll = new QScrollBar(Qt::Horizontal, window);
  scroll->setFocusPolicy(Qt::NoFocus);
  layout->addWidget(LSetControlId(scroll, kScroll));
  auto* transport = new QHBoxLayout;
  transport->setSpacing(2);
  if (recordId) transport->addWidget(TransportButton(window, recordId, LTransportIcon::kRecord, true));
  transport->addWidget(TransportButton(window, kPlay, LTransportIcon::kPlay, true));
  transport->addWidget(TransportButton(window, kScrub, LTransportIcon::kScrub, true));
  transport->addWidget(TransportButton(window, kStop, LTransportIcon::kStop, true));
  transport->addWidget(TransportButton(window, kStart, LTransportIcon::kStart, false));
  transport->addWidget(TransportButton(window, kRewind, LTransportIcon::kRewind, false));
  transport->addWidget(TransportButton(window, kForward, LTransportIcon::kForward, false));
  transport->addWidget(TransportButton(window, kEnd, LTransportIcon::kEnd, false));
  transport->addStretch();
  layout->addLayout(transport);
}

const LDialogTemplate& LPlayerBaseDlg::Template() {
  static const LDialogTemplate kTemplate{"LPLAYERDLG", BuildPlayer};
  return kTemplate;
}

LPlayerBaseDlg::LPlayerBaseDlg(LPanelFile& file) : file_(file) {}

LPlayerBaseDlg::~LPlayerBaseDlg() {
  player_.SetNotify(nullptr, 0);
  player_.Stop();
}

void LPlayerBaseDlg::InitDialog() {
  meter_ = ControlAs<LDBDisplay>(kLevelMeter);
  wave_ = ControlAs<LWaveWindow>(kWave);
  if (wave_) {
    wave_->Stop();
    // Space scrubs unless the user goes to the name field.
    wave_->setFocusPolicy(Qt::ClickFocus);
    wave_->setFocus();
    QObject::connect(wave_, &LWaveWindow::Command, Window(),
                     [window = Window()](int id, int code) { LSendCommand(window, id, code); });
  }
  if (auto* name = ControlAs<QLineEdit>(kName)) {
    name->setText(QString::fromStdString(file_.name));
    name->setModified(false);
    name->setEnabled(!(file_.flags & LPanelFile::kNameReadOnly));
  }
  file_.flags &= uint16_t(~LPanelFile::kNameChanged);
  if (auto* volume = ControlAs<LDBEdit>(kPlayVolume)) {
    volume->SetValue(RegGetSettingInt("Player", "VolumeDB", 0));
    QObject::connect(volume, &LDBEdit::Command, Window(),
                     [window = Window()](int id, int code) { LSendCommand(window, id, code); });
  }
  if (meter_) meter_->SetLevels(LLevelRecord::Silence());
  timeFont_ = QFont(QStringLiteral("Monospace"));
  timeFont_.setStyleHint(QFont::TypeWriter);
  timeFont_.setBold(true);
  timeFont_.setPixelSize(16);
  if (QWidget* time = Control(kTimeDisplay)) time->setFont(timeFont_);
  SetUpDownButton(*this, kRewind);
  SetUpDownButton(*this, kForward);
  LAddTools(*this, kPlayerTools, int(std::size(kPlayerTools)));
  if (auto* scroll = ControlAs<QScrollBar>(kScroll)) {
    scroll->setRange(0, 100);
    scroll->setPageStep(10);
    QObject::connect(scroll, &QAbstractSlider::actionTriggered, Window(), [this, scroll](int action) {
      int code = ScrollCodeOf(action);
      if (code >= 0) SendMessage(WM_HSCROLL, MakeWParam(code, scroll->sliderPosition()), 0);
    });
  }
  if (auto* devices = ControlAs<QComboBox>(kPlayDevice)) {
    devices->clear();
    for (const std::string& name : LSoundOutDeviceList()) devices->addItem(QString::fromStdString(name));
    int selected = RegGetSettingInt("Player", "Device", 0);
    devices->setCurrentIndex(selected >= 0 && selected < devices->count() ? selected : 0);
  }
  player_.SetNotify(this, 0);
  player_.SetDevice(uint32_t(std::max(SelectedEntry(kPlayDevice), 0)));
  ApplyPlayVolume();
  SetPosition(position_);
}

void LPlayerBaseDlg::DestroyDialog() {
  if (wave_) wave_->Stop();
  player_.SetNotify(nullptr, 0);
  player_.Stop();
  if (Window()) {
    RegSetSettingInt("Player", "Device", std::max(SelectedEntry(kPlayDevice), 0));
    if (auto* volume = ControlAs<LDBEdit>(kPlayVolume)) RegSetSettingInt("Player", "VolumeDB", volume->GetValue());
    auto* name = ControlAs<QLineEdit>(kName);
    if (name && name->isModified()) {
      file_.name = name->text().toStdString();
      file_.flags |= LPanelFile::kNameChanged;
    }
  }
  wave_ = nullptr;
  meter_ = nullptr;
}

int LPlayerBaseDlg::SelectedEntry(int id) const {
  auto* combo = ControlAs<QComboBox>(id);
  return combo ? combo->currentIndex() : -1;
}

void LPlayerBaseDlg::ApplyPlayVolume() {
  auto* volume = ControlAs<LDBEdit>(kPlayVolume);
  if (volume) SetOutputVolume(SelectedEntry(kPlayDevice) - 1, volume->GetValue(), 0);
}

LSoundSourceRef LPlayerBaseDlg::OpenPanelSource() { return file_.OpenSource(); }

void LPlayerBaseDlg::EvCommand(int id, int notifyCode) {
  switch (id) {
    case kWave:
      if (notifyCode == LWaveWindow::kNotifyClick) OnWaveClick();
      break;
    case kPlayDevice:
      if (notifyCode == CBN_SELCHANGE) player_.SetDevice(uint32_t(std::max(SelectedEntry(kPlayDevice), 0)));
      break;
    case kPlayVolume:
      if (notifyCode == LDBEdit::kNotifyChange) ApplyPlayVolume();
      break;
    case kPlay:
      CmPlay();
      break;
    case kScrub:
      CmScrub();
      break;
    case kStop:
      CmStop();
      break;
    case kStart:
      CmStart();
      break;
    case kRewind:
    case kForward:
      if (notifyCode == BN_PUSHED_DOWN)
        id == kRewind ? CmBack() : CmFwd();
      else if (notifyCode == BN_PUSHED_UP)
        CmBackFwdStop();
      break;
    case kEnd:
      CmEnd();
      break;
    default:
      break;
  }
}

bool LPlayerBaseDlg::DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_HSCROLL) {
    OnScroll(LoWord(wParam), HiWord(wParam));
    return true;
  }
  if (message == WM_TIMER && wParam == kReleaseTimer) {
    FlushRelease();
    return true;
  }
  return LKeyDialog::DialogProc(message, wParam, lParam);
}

void LPlayerBaseDlg::OnScroll(int code, int thumb) {
  if (code == kScrollLeft) {
    CmStart();
    return;
  }
  if (code == kScrollRight) {
    CmEnd();
    return;
  }
  int32_t target = LPanelScrollTarget(code, thumb, position_, length_);
  if (target < 0) return;
  SetPosition(target);
  if (PlayerActive()) player_.Seek(LSoundTime::MsToFrames(position_, player_.Source()->sampleRate));
}

void LPlayerBaseDlg::OnWaveClick() {
  if (!wave_) return;
  int32_t sample = wave_->SelectionStart();
  if (PlayerActive())
    player_.Seek(sample);
  else
    SetPosition(LSoundTime::FramesToMs(sample, rate_));
}

bool LPlayerBaseDlg::TranslateKey(const LKeyMessage& message) {
  bool up = message.message == WM_KEYUP || message.message == WM_SYSKEYUP;
  int key = message.virtualKey;
  if (key == VK_LEFT || key == VK_RIGHT) {
    if (up) {
      // A release the toolkit did not mark as repeated may still be one: it
      // counts only when no press of the key follows within a moment.
      if (!message.repeat) {
        if (pendingRelease_ && pendingRelease_ != key) FlushRelease();
        pendingRelease_ = key;
        SetTimer(kReleaseTimer, kReleaseDelayMs);
      }
      return true;
    }
    if (pendingRelease_ == key) {
      KillTimer(kReleaseTimer);
      pendingRelease_ = 0;
      return true;  // the key never went up
    }
    if (message.repeat) return true;
  } else if (message.repeat && (up || ActsOncePerPress(key, Control(kName)))) {
    return true;
  }
  return LKeyDialog::TranslateKey(message);
}

void LPlayerBaseDlg::FlushRelease() {
  KillTimer(kReleaseTimer);
  int key = pendingRelease_;
  pendingRelease_ = 0;
  if (key) EvKeyUp(key);
}

bool LPlayerBaseDlg::EvKeyDown(int key) {
  switch (key) {
    case VK_LEFT:
      PressButton(kRewind, true);
      return true;
    case VK_RIGHT:
      PressButton(kForward, true);
      return true;
    case VK_SPACE: {
      QWidget* name = Control(kName);
      if (name && name->hasFocus()) return false;
      PlayerCueing() ? CmPlay() : CmScrub();
      break;
    }
    case VK_RETURN:
      Close(IDOK);
      return true;
    case VK_ESCAPE:
      CmStop();
      break;
    case VK_HOME:
      CmStart();
      break;
    case VK_END:
      CmEnd();
      break;
    case VK_F9:
      CmPlay();
      break;
    case VK_F10:
      CmScrub();
      break;
    case VK_F9 + KEY_ALT:
      CmPlayEnd();
      break;
    default:
      return false;
  }
  if (Window()) UpdateControls();
  return true;
}

bool LPlayerBaseDlg::EvKeyUp(int key) {
  if (key == VK_LEFT) {
    PressButton(kRewind, false);
    return true;
  }
  if (key == VK_RIGHT) {
    PressButton(kForward, false);
    return true;
  }
  return false;
}

void LPlayerBaseDlg::PressButton(int id, bool down) {
  // As a mouse would: the button shows pressed and reports the press or release.
  auto* button = ControlAs<QPushButton>(id);
  if (button) {
    if (button->isDown() == down) return;
    button->setDown(down);
  }
  SendCommand(id, down ? BN_PUSHED_DOWN : BN_PUSHED_UP);
}

void LPlayerBaseDlg::DropSeekRun() {
  KillTimer(kReleaseTimer);
  pendingRelease_ = 0;
  seekRun_.End();
  for (int id : {kRewind, kForward})
    if (auto* button = ControlAs<QPushButton>(id)) button->setDown(false);
}

void LPlayerBaseDlg::SetPosition(int32_t ms) {
  position_ = std::max(ms, 0);
  LSetControlText(*this, kTimeDisplay, LPanelTimeText(position_));
  if (auto* scroll = ControlAs<QScrollBar>(kScroll)) {
    QSignalBlocker quiet(scroll);
    scroll->setValue(LPanelScrollPercent(position_, length_));
  }
  if (wave_ && wave_->IsRunning()) {
    int32_t playerRate = PlayerActive() ? player_.Source()->sampleRate : rate_;
    LPanelWaveView view = LPanelWaveViewAt(position_, rate_, PlayerCueing(), playerRate);
    wave_->SetSelection(view.selectionStart, view.selectionLength);
    wave_->SetView(view.viewStart, view.viewLength);
  }
}

void LPlayerBaseDlg::CmPlay() {
  if (PlayerCueing()) {
    player_.Play();
    return;
  }
  CmStop();
  if (!Window()) return;  // stopping ended the panel
  LSoundSourceRef source = OpenPanelSource();
  if (!source.IsUsable()) return;
  length_ = LSoundTime::FramesToMs(source->GetLength(), source->sampleRate);
  if (position_ != 0) source->Seek(LSoundTime::MsToFrames(position_, source->sampleRate));
  rate_ = source->sampleRate;
  player_.Start(source);
}

void LPlayerBaseDlg::CmScrub() {
  if (!PlayerActive()) CmPlay();
  player_.Cue();
}

void LPlayerBaseDlg::CmStop() { player_.Stop(); }

void LPlayerBaseDlg::CmStart() {
  SetPosition(0);
  player_.Seek(0);
}

void LPlayerBaseDlg::CmEnd() {
  LSoundSourceRef source = OpenPanelSource();
  length_ = LSoundTime::FramesToMs(source->GetLength(), source->sampleRate);
  int32_t target = length_;
  if (PlayerActive()) {
    target = std::max(length_ - 1500, 0);
    player_.Seek(LSoundTime::MsToFrames(target, player_.Source()->sampleRate));
  }
  SetPosition(target);
}

void LPlayerBaseDlg::CmPlayEnd() {
  CmStop();
  if (!Window()) return;
  LSoundSourceRef source = OpenPanelSource();
  length_ = LSoundTime::FramesToMs(source->GetLength(), source->sampleRate);
  int32_t start = length_ - 3000;
  if (start < 1)
    start = 0;
  else
    source->Seek(LSoundTime::MsToFrames(start, source->sampleRate));
  position_ = start;
  rate_ = source->sampleRate;
  player_.Start(source);
}

void LPlayerBaseDlg::CmBack() { CmSeekRun(LSeekRun::kBack); }

void LPlayerBaseDlg::CmFwd() { CmSeekRun(LSeekRun::kForward); }

void LPlayerBaseDlg::CmSeekRun(LSeekRun::Direction direction) {
  if (seekRun_.IsActive(direction)) return;
  if (seekRun_.AnyActive()) CmBackFwdStop();
  LSeekRun::PlayerState before = !PlayerActive()  ? LSeekRun::kIdle
                                 : PlayerCueing() ? LSeekRun::kCueing
                                                  : LSeekRun::kPlaying;
  CmStop();
  if (!Window()) return;
  LSoundSourceRef source = OpenPanelSource();
  if (!source.IsUsable()) return;
  rate_ = source->sampleRate;
  length_ = LSoundTime::FramesToMs(source->GetLength(), source->sampleRate);
  source->Seek(LSoundTime::MsToFrames(std::max(position_, 0), source->sampleRate));
  LSeekRun::Speeds speeds = LSeekRun::SpeedsFor(direction, before);
  LTimeStretchProcessor stretch(speeds.start, speeds.end, LSeekRun::kRampMs);
  seekRun_.Begin(direction, before);
  player_.Start(stretch.Open(source));
}

void LPlayerBaseDlg::CmBackFwdStop() {
  player_.Stop();
  LSeekRun::PlayerState before = seekRun_.End();
  if (before == LSeekRun::kCueing)
    CmScrub();
  else if (before == LSeekRun::kPlaying)
    CmPlay();
}

void LPlayerBaseDlg::StartWaveScan() {
  if (!wave_ || wave_->IsRunning()) return;
  LSoundSourceRef source = OpenPanelSource();
  int32_t frames = source->GetLength();
  if (source.IsUsable()) rate_ = source->sampleRate;
  length_ = LSoundTime::FramesToMs(frames, rate_);
  wave_->SetDataEnd(frames);
  wave_->Start(source);
  SetPosition(length_);
}

void LPlayerBaseDlg::SetPushed(int id, bool pushed) {
  if (auto* button = ControlAs<QPushButton>(id)) button->setChecked(pushed);
}

void LPlayerBaseDlg::UpdateTransport() {
  SetPushed(kPlay, PlayerActive() && !PlayerCueing());
  SetPushed(kScrub, PlayerCueing());
  SetPushed(kStop, !PlayerActive());
}

void LPlayerBaseDlg::UpdateControls() { UpdateTransport(); }

void LPlayerBaseDlg::spntfPlay(uint32_t) {
  if (Window()) UpdateControls();
}
void LPlayerBaseDlg::spntfStop(uint32_t) {
  if (Window()) UpdateControls();
}
void LPlayerBaseDlg::spntfCue(uint32_t) {
  if (Window()) UpdateControls();
}
void LPlayerBaseDlg::spntfPause(uint32_t) {
  if (Window()) UpdateControls();
}
void LPlayerBaseDlg::spntfTime(int32_t milliseconds, uint32_t) { SetPosition(milliseconds); }
void LPlayerBaseDlg::spntfLevel(const LLevelRecord& levels, uint32_t) {
  if (meter_) meter_->SetLevels(levels);
}
