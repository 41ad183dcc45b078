// The tutor window's image, audio and playback commands: the window side.
// What they do to files and numbers lives in media_commands.
#include <QDesktopServices>
#include <QScrollBar>
#include <QString>
#include <QTreeWidget>
#include <QUrl>

#include "companion/launcher.h"
#include "companion/related_programs.h"
#include "controls/db_edit.h"
#include "controls/level_meter.h"
#include "controls/panel_file.h"
#include "controls/record_panel.h"
#include "framework/lfile.h"
#include "framework/settings.h"
#include "framework/widgets/file_dialogs.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/win_defs.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "platform/audio/mixer.h"
#include "platform/program_start.h"
#include "sound/sound_player.h"
#include "tutor/audio_new_dlg.h"
#include "tutor/main_dialog.h"
#include "tutor/media_commands.h"

// The audio toolbar's player and what the position bar shows.
struct MainDialog::Playback : LSoundPlayerNotify {
  explicit Playback(MainDialog& window) : dialog(window) { player.SetNotify(this, 0); }
  // The window may be gone by now: a last stop report must not reach it.
  ~Playback() override {
    player.SetNotify(nullptr, 0);
    player.Stop();
  }

  void spntfPlay(uint32_t) override {
    dialog.toolbars_[3].SetButtonText(CM_AUDIO_PLAY, "Stop");
    dialog.toolbars_[3].CheckButton(CM_AUDIO_PLAY, true);
    dialog.UpdateControls();
  }
  void spntfStop(uint32_t) override {
    source.Reset();
    ShowLevels(LLevelRecord::Silence());
    dialog.toolbars_[3].SetButtonText(CM_AUDIO_PLAY, "Play");
    dialog.toolbars_[3].CheckButton(CM_AUDIO_PLAY, false);
    dialog.UpdateControls();
  }
  void spntfTime(int32_t milliseconds, uint32_t) override { Show(milliseconds < 0 ? 0 : milliseconds); }
  void spntfLevel(const LLevelRecord& levels, uint32_t) override { ShowLevels(levels); }
  void ShowLevels(const LLevelRecord& levels) {
    if (auto* meter = dialog.ControlAs<LDBDisplay>(kLevel)) meter->SetLevels(levels);
  }
  void Show(int32_t milliseconds) {
    positionMs = milliseconds;
    if (auto* bar = dialog.ControlAs<QScrollBar>(kPosition)) {
      QSignalBlocker quiet(bar);
      bar->setValue(media::PositionPercent(positionMs, totalMs));
    }
  }
  bool Playing() const { return player.IsOpen(); }

  MainDialog& dialog;
  LSoundPlayer player;
  LSoundSourceRef source;
  int32_t positionMs = 0;
  int32_t totalMs = 0;
};

void MainDialog::PlaybackDeleter::operator()(Playback* playback) const { delete playback; }

void MainDialog::InitMedia() {
  playback_.reset(new Playback(*this));
  playback_->ShowLevels(LLevelRecord::Silence());
  if (offerRelated_ && AnyRelatedProgramMissing()) SetTimer(5, 500);
  // The play volume is the program's own stream volume; the desktop's stays as the user set it.
  if (auto* volume = ControlAs<LDBEdit>(kVolume)) {
    volume->SetValue(LAudioPlayVolume());
    QObject::connect(volume, &LDBEdit::Command, Window(),
                     [window = Window()](int id, int code) { LSendCommand(window, id, code); });
    ApplyPlayVolume();
  }
  if (auto* bar = ControlAs<QScrollBar>(kPosition)) {
    QObject::connect(bar, &QAbstractSlider::actionTriggered, Window(), [this, bar](int action) {
      int code = -1, thumb = bar->sliderPosition();
      switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
          code = 0;
          break;
        case QAbstractSlider::SliderSingleStepAdd:
          code = 1;
          break;
        case QAbstractSlider::SliderPageStepSub:
          code = 2;
          break;
        case QAbstractSlider::SliderPageStepAdd:
          code = 3;
          break;
        case QAbstractSlider::SliderMove:
          code = 5;
          break;
        default:
          return;
      }
      EvScroll(code, thumb);
    });
  }
}

void MainDialog::EvScroll(int code, int thumb) {
  Playback& p = *playback_;
  int32_t position = media::ScrollPosition(code, thumb, p.positionMs, p.totalMs);
  if (position == p.positionMs && code != 4 && code != 5) return;
  p.Show(position);
  if (p.Playing() && p.source.IsUsable()) p.player.Seek(int(media::PositionFrame(position, p.source->sampleRate)));
}

void MainDialog::ApplyPlayVolume() {
  if (auto* volume = ControlAs<LDBEdit>(kVolume)) LAudioSetPlayVolume(volume->GetValue());
}

void MainDialog::StopPlayback() {
  if (playback_) playback_->player.Stop();
}

int32_t MainDialog::PlayPositionMs() const { return playback_ ? playback_->positionMs : 0; }

bool MainDialog::AudioPlaying() const { return playback_ && playback_->Playing(); }

int MainDialog::CurrentRow() const {
  if (QTreeWidget* list = List())
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      if (list->topLevelItem(i)->isSelected()) return i;
  return -1;
}

bool MainDialog::MediaCommand(int id) {
  switch (id) {
    case CM_IMAGE_NEW:
      CmImageAddNew();
      return true;
    case CM_IMAGE_EXISTING:
      CmImageAddExisting();
      return true;
    case CM_IMAGE_REMOVE:
      CmImageRemove();
      return true;
    case CM_IMAGE_EDIT:
      CmImageEdit();
      return true;
    case CM_AUDIO_NEW:
      CmAudioAddNew();
      return true;
    case CM_AUDIO_EXISTING:
      CmAudioAddExisting();
      return true;
    case CM_AUDIO_REMOVE:
      CmAudioRemove();
      return true;
    case CM_AUDIO_PLAY:
      CmAudioPlay();
      return true;
    case CM_AUDIO_EDIT:
      CmAudioEdit();
      return true;
    default:
      return false;
  }
}

void MainDialog::CmImageAddNew() {
  std::string record;
  if (!GetCurrentExpression(record)) return;
  if (media::HasImage(record) && LMessageBox(Window(), "Replace the image of this expression with a blank one?",
                                             "Confirm Replace", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return;
  if (!media::CreateBlankImage(record)) {
    InitCurrentExpression();
    return;
  }
  UpdateExpressionData(record, CurrentRow());
  InitCurrentExpression();  // shows the blank page even when no editor comes up
  CmImageEdit();
}

void MainDialog::CmImageAddExisting() {
  std::string record;
  if (!GetCurrentExpression(record)) return;
  std::string folder = RegGetUserSetting("Settings", "AddImageDir", ""), file;
  if (!LOpenFileDialog(Window(), file, "Locate image", folder,
                       {{"Bitmap Files(*.bmp)", "*.bmp"},
                        {"GIF (*.gif)", "*.gif"},
                        {"JPEG (*.jpg, *.jpeg, *.jpe, *.jfif)", "*.jpg *.jpeg *.jpe *.jfif"}},
                       "bmp"))
    return;
  RegSetUserSetting("Settings", "AddImageDir", folder);
  if (media::LoadImage(record, file) == media::LoadResult::kUnsupported)
    LMessageBox(Window(), "This type of image cannot be shown. Please choose a BMP, GIF or JPEG file.", "Locate image",
                MB_OK | MB_ICONEXCLAMATION);
  UpdateExpressionData(record, CurrentRow());
  InitCurrentExpression();
}

void MainDialog::CmImageRemove() {
  std::string record;
  if (!GetCurrentExpression(record)) return;
  if (LMessageBox(Window(), "Are you sure you want to remove the image of this expression?", "Confirm Remove",
                  MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return;
  media::RemoveImage(record);
  UpdateExpressionData(record, CurrentRow());
  InitCurrentExpression();
}

void MainDialog::CmImageEdit() {
  std::string record;
  if (!GetCurrentExpression(record)) return;
  std::string image = media::ImageFile(record);
  if (image.empty() || !lessonfiles::FileExists(image)) return;
  std::vector<std::string> editor = media::ImageEditorCommand(image);
  if (editor.empty() || !LChildProcess::StartDetached(editor))
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(image)));
}

void MainDialog::CmAudioAddNew() {
  std::string record;
  if (!GetCurrentExpression(record)) return;
  StopPlayback();
  bool prompting = RegGetUserSettingBool("Settings", "PromptSampleAndChannels", true);
  if (prompting) {  // the tutor picks rate and channels for this recording; Cancel records nothing
    AudioNewDlg ask;
    if (ask.Run(Window()) != IDOK) return;
  }
  media::RecordFormat format = media::NewRecordingFormat(prompting);
  if (format.rate == 0) {
    LMessageBox(Window(), "Invalid Sample Rate.", "", MB_OK | MB_ICONERROR);
    return;
  }
  std::string name;
  LFile::GetFileTitleFromPath(name, record);
  media::ExpressionPanelFile file(record, name, format);
  if (LRecordDlg::Run(Window(), file) == LRecordDlg::kFailed)
    LMessageBox(Window(), "Cannot record. Please try again.", "", MB_OK | MB_ICONERROR);
  UpdateExpressionData(record, CurrentRow());
  InitCurrentExpression();
}

void MainDialog::CmAudioAddExisting() {
  std::string record;
  if (!GetCurrentExpression(record)) return;
  std::string folder = RegGetUserSetting("Settings", "AddAudioDir", ""), file;
  if (!LOpenFileDialog(Window(), file, "Locate Audio", folder, {{"Audio Files", "*.wav *.mp3"}}, "wav")) return;
  RegSetUserSetting("Settings", "AddAudioDir", folder);
  StopPlayback();
  media::LoadAudio(record, file);
  UpdateExpressionData(record, CurrentRow());
  InitCurrentExpression();
}

void MainDialog::CmAudioRemove() {
  std::string record;
  if (!GetCurrentExpression(record)) return;
  if (LMessageBox(Window(), "Are you sure you want to remove the audio of this expression?", "Confirm Remove",
                  MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return;
  StopPlayback();
  media::RemoveAudio(record);
  UpdateExpressionData(record, CurrentRow());
  InitCurrentExpression();
}

void MainDialog::CmAudioPlay() {
  std::string record;
  if (!GetCurrentExpression(record)) return;
  Playback& p = *playback_;
  if (p.Playing()) {
    p.player.Stop();
    return;
  }
  LSoundSourceRef source = LRichAudioFile::OpenSource(record);
  if (!source.IsUsable()) return;
  p.totalMs = media::LengthMs(source->GetLength(), source->sampleRate);
  p.source = source;
  p.Show(0);
  // The play volume is program-wide; the record panel and the preview may have changed it.
  ApplyPlayVolume();
  if (!p.player.Start(source)) p.source.Reset();
}

void MainDialog::CmAudioEdit() {
  std::string record;
  if (!GetCurrentExpression(record)) return;
  StopPlayback();
  std::string audio;
  LRichAudioFile::GetAudioFileName(record, audio);
  LLaunchRequest request;
  request.argument = lessonfiles::ResolveExpressionFile(audio);
  request.productKey = "Soundsmith";
  request.valueName = "RunEdit";
  request.setupName = "soundsmith-setup";
  request.displayName = "Soundsmith";
  request.webPage = "soundsmith/index";
  request.program = "soundsmith";
  request.wait = true;
  RunCompanion(Window(), "Run Soundsmith", request);
  UpdateExpressionData(record, CurrentRow());
  InitCurrentExpression();
}
