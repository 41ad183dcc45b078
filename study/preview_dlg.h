#pragma once
// The window in which a lesson is studied: the student's only window, or the
// tutor's preview of the open lesson. The run-mode word tells them apart.
#include <string>

#include "framework/widgets/dialog.h"
#include "framework/widgets/html_object.h"
#include "framework/widgets/toolbar.h"

class PreviewDlg : public LKeyDialog {
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
    CM_HELP = 1010
  };
  static constexpr int kHelpTopic = 105;

  // lessonPath belongs to the creator; opening and closing lessons rewrite it.
  explicit PreviewDlg(std::string& lessonPath);
  ~PreviewDlg() override;
  static const LDialogTemplate& Template();
  bool Run(QWidget* owner) { return Open(owner, Template()); }

  void InitDialog() override;
  bool CmOk() override;
  bool CmCancel() override;
  void CmHelp() override;
  void EvCommand(int id, int notifyCode) override;
  void DestroyDialog() override;
  bool DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) override;
  bool EvKeyDown(int key) override;

  void LessonApply();
  void LayoutControls();
  void UpdateToolBar();
  void StopLesson();
  LToolBar& ToolBar() { return toolbar_; }
  LHTMLObject& PageView() { return pageView_; }
  int Mode() const { return iMode_; }
  static const char* WindowSection();

 private:
  bool CommandEnabled(int id) const;
  bool LessonOpen() const { return !lessonPath_.empty(); }
  void InitExpressionList();
  void InitExpression(int index);

  std::string& lessonPath_;
  LToolBar toolbar_;
  LHTMLObject pageView_;
  int iCurrentExp_ = 0;
  int iMode_ = 0;
  std::string pagePath_;
};
