#pragma once
// The tutor's workspace window: expression list on the left, page view,
// explanation and audio controls on the right, a main toolbar and three small
// toolbars, a rotating status bar and a splitter between page and explanation.
// The rules it follows live apart from it: command_rules (what is enabled),
// expression_drop (reordering), expression_edit (new and rename),
// explanation_saver (which expression a typed explanation belongs to).
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "framework/widgets/dialog.h"
#include "framework/widgets/html_object.h"
#include "framework/widgets/move_bar.h"
#include "framework/widgets/splash.h"
#include "framework/widgets/toolbar.h"
#include "tutor/command_rules.h"
#include "tutor/explanation_saver.h"
#include "tutor/expression_drop.h"
#include "tutor/tutor_ids.h"

class QTreeWidget;
class QTreeWidgetItem;

class MainDialog : public LKeyDialog, public TutorIds {
 public:
  static constexpr int kStatusTexts = 20;
  static constexpr int kDefaultDivider = 206;
  static constexpr int kAutoscrollMs = 150;

  MainDialog();
  ~MainDialog() override;
  static const LDialogTemplate& Template();
  bool Run() { return Open(nullptr, Template()); }
  // A lesson file to open when the window starts (the command line's lesson).
  void SetStartLesson(const std::string& lessonPath) { startLesson_ = lessonPath; }
  // Makes an existing lesson file the open lesson (a lesson handed over by a later copy).
  void OpenLesson(const std::string& lessonPath);
  // Started by the setup: offer the related programs once the window shows.
  void SetOfferRelatedPrograms(bool offer) { offerRelated_ = offer; }

  void InitDialog() override;
  // Enter never ends the tutor's work; Exit and the window's close do.
  bool CmOk() override { return false; }
  bool CmCancel() override { return true; }
  void CmHelp() override;
  void UpdateControls() override;
  void EvCommand(int id, int notifyCode) override;
  void DestroyDialog() override;
  bool DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) override;
  bool EvKeyDown(int key) override;

  // The open lesson's file; empty when none.
  const std::string& LessonPath() const { return lessonPath_; }
  void LessonApply();
  void LayoutControls();
  LToolBar& MainToolBar() { return toolbars_[0]; }
  LToolBar& ToolBar(int index) { return toolbars_[index]; }
  LHMoveBar& Splitter() { return splitter_; }
  LSplashScreen& Splash() { return splash_; }
  LHTMLObject& PageView() { return pageView_; }
  int StatusIndex() const { return statusIndex_; }
  static const char* StatusText(int index);
  TutorState State() const;
  bool Dragging() const { return dragImage_ != nullptr; }

  // Expression list.
  void InitExpressionList(int row);
  void UpdateExpressionData(const std::string& recordPath, int row);
  void InitCurrentExpression();
  bool GetRecording(int row, std::string& recordPath) const;
  bool GetCurrentExpression(std::string& recordPath) const;
  void ListNewExpression(const std::string& recordPath);
  void UpdateExpressionName(int row, const std::string& text);
  void StartDrag();
  void Drag(int y);
  void EndDrag(int y);
  void ClearDrag();

  // Image, audio and playback commands (main_dialog_media.cpp).
  bool MediaCommand(int id);
  void EvScroll(int code, int thumb);
  int32_t PlayPositionMs() const;
  bool AudioPlaying() const;

 private:
  void EvTimer(int id);
  int MenuHeight() const;
  void SetMenuStates();
  void RunCommand(int id);
  QTreeWidget* List() const;
  void StripeRows();
  void SaveExplanation();
  void TellExplanationNotSaved();
  // After a failed delete or replace: the lesson stays open as far as it is left.
  void ShowLessonAfterFailure();
  void FillExplanation(const std::string& text);
  DropHit HitTest(int y, int* row) const;
  void ShowMenuAt(const char* name, const QPoint& global);

  void CmLessonNew();
  void CmLessonOpen();
  void CmLessonDelete();
  void CmLessonClose();
  void CmLessonPreview();
  void CmLessonProperties();
  void CmSettings();
  void CmExpressionNew();
  void CmExpressionDelete();
  void CmExpressionRename();
  void CmExplanationAddExisting();

  // Image, audio and playback commands (main_dialog_media.cpp).
  struct Playback;
  struct PlaybackDeleter {
    void operator()(Playback* playback) const;
  };
  void InitMedia();
  void StopPlayback();
  void ApplyPlayVolume();
  int CurrentRow() const;
  void CmImageAddNew();
  void CmImageAddExisting();
  void CmImageRemove();
  void CmImageEdit();
  void CmAudioAddNew();
  void CmAudioAddExisting();
  void CmAudioRemove();
  void CmAudioPlay();
  void CmAudioEdit();
  std::unique_ptr<Playback, PlaybackDeleter> playback_;
  bool offerRelated_ = false;

  int statusIndex_ = 0;
  LSplashScreen splash_;
  LHMoveBar splitter_;
  std::string lessonPath_;
  std::string startLesson_;
  LHTMLObject pageView_;
  LToolBar toolbars_[4];
  QPointer<QWidget> dragImage_;
  bool autoscroll_ = false;
  ExplanationSaver explanation_;
  bool filling_ = false;     // the window, not the tutor, changes the edit
  bool rebuilding_ = false;  // the list is being refilled
  std::string pagePath_;
};
