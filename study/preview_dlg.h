#pragma once
// The window in which a lesson is studied: the student's only window, or the
// tutor's preview of the open lesson. The run-mode word tells them apart.
// What happens over time is the StudyRunner's; this class shows the lesson,
// its pages and what the runner reports, and turns commands into runner calls.
#include <memory>
#include <string>

#include "framework/widgets/dialog.h"
#include "framework/widgets/html_object.h"
#include "framework/widgets/toolbar.h"
#include "study/study_runner.h"

class PreviewDlg : public LKeyDialog, public StudyRunnerView {
 public:
  enum : int { kStatus = 102, kList = 103, kMode = 104, kUnused = 106, kPage = 112, kLevel = 115, kToolBar = 80 };
  enum : int {
    CM_GO = 1001,
    CM_REDO = 1003,
    CM_PLAY = 1004,
    CM_SETTINGS = 1005,
    CM_EXIT = 1006,
    CM_STOP = 1007,
    CM_OPEN = 1008,
    CM_CLOSE = 1009,
    CM_HELP = 1010,
    CM_COMPARE = 1011
  };
  static constexpr int kHelpTopic = 105;
  // Slow replay controls in the toolbar.
  enum : int { kReplaySpeed = 140, kSlowThenNormal = 141 };

  // lessonPath belongs to the creator; opening and closing lessons rewrite it.
  explicit PreviewDlg(std::string& lessonPath);
  ~PreviewDlg() override;
  static const LDialogTemplate& Template();
  bool Run(QWidget* owner) { return Open(owner, Template()); }
  // The tutor's preview: runs the window modally over a copy of lessonPath,
  // so that whatever the preview opens or closes, the tutor keeps its lesson.
  static void RunPreview(QWidget* owner, const std::string& lessonPath);

  void InitDialog() override;
  bool CmOk() override;
  bool CmCancel() override;
  void CmHelp() override;
  void EvCommand(int id, int notifyCode) override;
  void DestroyDialog() override;
  bool DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) override;
  bool EvKeyDown(int key) override;

  // Opens the lesson of that lesson file (a later copy of the program hands
  // its lesson over this way).
  void OpenLesson(const std::string& lessonPath);
  void LessonApply();
  void LayoutControls();
  void UpdateToolBar();
  void StopLesson() { runner_->StopLesson(); }
  LToolBar& ToolBar() { return toolbar_; }
  LHTMLObject& PageView() { return pageView_; }
  StudyRunner& Runner() { return *runner_; }
  int Mode() const { return runner_->Mode(); }
  const std::string& PagePath() const { return pagePath_; }
  static const char* WindowSection();

  // StudyRunnerView
  void RunnerStatus(const std::string& text, Icon icon) override;
  void RunnerLevel(const LLevelRecord& level) override;
  void RunnerMark(int index, bool marked) override;
  void RunnerShowExpression(int index) override { InitExpression(index); }
  void RunnerSelectFirst() override;
  void RunnerModeChanged() override { UpdateToolBar(); }
  void RunnerMessage(const std::string& text, const std::string& caption, unsigned type) override;
  int RunnerStudyMode() override;

 private:
  // Slow replay: the speed of the tutor's recordings and "slow, then normal",
  // in the toolbar so that they change quickly while studying.
  void AddReplayControls();
  void StepReplaySpeed(int slower);  // +1 one step slower, -1 one step faster
  bool CommandEnabled(int id) const;
  bool LessonOpen() const { return !lessonPath_.empty(); }
  int SelectedItem() const;
  void SelectItem(int index);
  void MoveSelection(int key);
  void InitExpressionList();
  void InitExpression(int index);
  void CmOpenLesson();
  void PreviewSetDlg();
  // Compare: once the student has a recording of the selected expression.
  bool CanCompare() const;
  void CmCompare();

  std::string& lessonPath_;
  std::unique_ptr<StudyRunner> runner_;
  LToolBar toolbar_;
  LHTMLObject pageView_;
  std::string pagePath_;
};
