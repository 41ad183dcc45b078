#pragma once
// The tutor's workspace window: expression list on the left, page view,
// explanation and audio controls on the right, a main toolbar and three small
// toolbars, a rotating status bar and a splitter between page and explanation.
#include <string>

#include "framework/widgets/dialog.h"
#include "framework/widgets/html_object.h"
#include "framework/widgets/move_bar.h"
#include "framework/widgets/splash.h"
#include "framework/widgets/toolbar.h"

class MainDialog : public LKeyDialog {
 public:
  // Control ids of template 1.
  enum : int {
    kList = 101,
    kStatus = 102,
    kExplanation = 103,
    kPage = 104,
    kExplanationHost = 105,
    kImageHost = 106,
    kAudioHost = 107,
    kPosition = 109,
    kLevel = 110,
    kVolume = 111,
    kMainBar = 80,
    kExplanationBar = 81,
    kImageBar = 82,
    kAudioBar = 83
  };
  // Command ids.
  enum : int {
    CM_LESSON_NEW = 1001,
    CM_LESSON_OPEN = 1002,
    CM_LESSON_DELETE = 1003,
    CM_LESSON_CLOSE = 1004,
    CM_LESSON_PREVIEW = 1005,
    CM_SETTINGS = 1007,
    CM_LESSON_PROPERTIES = 1008,
    CM_EXIT = 1040,
    CM_EXPRESSION_NEW = 2001,
    CM_EXPRESSION_DELETE = 2002,
    CM_EXPRESSION_RENAME = 2003,
    CM_IMAGE_NEW = 2004,
    CM_IMAGE_EXISTING = 2005,
    CM_IMAGE_REMOVE = 2006,
    CM_IMAGE_EDIT = 2007,
    CM_AUDIO_NEW = 2008,
    CM_AUDIO_EXISTING = 2009,
    CM_AUDIO_REMOVE = 2010,
    CM_AUDIO_PLAY = 2011,
    CM_AUDIO_EDIT = 2012,
    CM_EXPLANATION_EXISTING = 3000,
    CM_HELP_CONTENTS = 6001,
    CM_WEB_HOME = 6002,
    CM_WEB_SUPPORT = 6003,
    CM_WEB_MAKER = 6019,
    CM_HELP_ABOUT = 6050
  };
  static constexpr int kStatusTexts = 20;
  static constexpr int kDefaultDivider = 206;

  MainDialog();
  ~MainDialog() override;
  static const LDialogTemplate& Template();
  bool Run() { return Open(nullptr, Template()); }

  void InitDialog() override;
  bool CmOk() override { return true; }
  bool CmCancel() override { return true; }
  void CmHelp() override;
  void UpdateControls() override;
  void EvCommand(int id, int notifyCode) override;
  void DestroyDialog() override;
  bool DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) override;
  bool EvKeyDown(int key) override;

  // The open lesson's file; empty when none.
  std::string& LessonPath() { return lessonPath_; }
  void LessonApply();
  void LayoutControls();
  LToolBar& MainToolBar() { return toolbars_[0]; }
  LToolBar& ToolBar(int index) { return toolbars_[index]; }
  LHMoveBar& Splitter() { return splitter_; }
  LSplashScreen& Splash() { return splash_; }
  LHTMLObject& PageView() { return pageView_; }
  int StatusIndex() const { return statusIndex_; }
  static const char* StatusText(int index);

 private:
  void EvTimer(int id);
  int MenuHeight() const;
  void SetMenuStates();
  bool CommandAvailable(int id) const;
  void RunCommand(int id);

  int statusIndex_ = 0;
  LSplashScreen splash_;
  LHMoveBar splitter_;
  std::string lessonPath_;
  LHTMLObject pageView_;
  LToolBar toolbars_[4];
  std::string pagePath_;
};
