#pragma once
// Property-sheet pages and wizard pages on the dialog framework, and the
// sheet that holds them. The sheet talks to its pages by WM_NOTIFY messages
// (PSN_...); a page answers through the notification's result.
#include <QPointer>
#include <string>
#include <vector>

#include "framework/widgets/dialog.h"

class QPushButton;
class QStackedWidget;
class QTabWidget;
class LPropertySheet;

// What WM_NOTIFY carries from the sheet to a page (second parameter).
struct LSheetNotify {
  int code;
  int result = 0;
};

class LPropertyPage : public LDialog {
 public:
  // The page description: template, header texts (wizards) and help.
  void PreparePage(const LDialogTemplate& dialogTemplate, std::string headerTitle = {}, std::string headerSubtitle = {},
                   bool helpWanted = false);
  bool DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) override;

  const LDialogTemplate* PageTemplate() const { return template_; }
  const std::string& HeaderTitle() const { return headerTitle_; }
  const std::string& HeaderSubtitle() const { return headerSubtitle_; }
  bool HelpWanted() const { return helpWanted_; }
  LPropertySheet* Sheet() const { return sheet_; }

 protected:
  int wizardButtons_ = PSWIZB_BACKNEXT;
  static constexpr int PSWIZB_BACKNEXT = 3;

 private:
  friend class LPropertySheet;
  QWidget* CreatePage(QWidget* parent);
  const LDialogTemplate* template_ = nullptr;
  std::string headerTitle_;
  std::string headerSubtitle_;
  bool helpWanted_ = false;
  LPropertySheet* sheet_ = nullptr;
};

class LWizardPage : public LPropertyPage {
 public:
  bool DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) override;
  virtual void PageActivated() {}
  virtual void PageLeaving() {}
  int WizardButtons() const { return wizardButtons_; }
  void SetWizardButtons(int buttons) { wizardButtons_ = buttons; }
};

class LPropertySheet {
 public:
  enum Flags { kNone = 0, kWizard = 1, kNoApply = 2, kHasHelp = 4 };
  LPropertySheet(std::string caption, int flags) : caption_(std::move(caption)), flags_(flags) {}
  ~LPropertySheet();
  void AddPage(LPropertyPage* page) { pages_.push_back(page); }
  void SetHeading(std::string heading) { heading_ = std::move(heading); }
  // Runs modally: IDOK when the sheet ended with OK or Finish, else IDCANCEL.
  int Run(QWidget* owner);

  QDialog* Window() const { return window_; }
  int CurrentPage() const { return current_; }
  void SetWizButtons(int buttons);
  // Button handlers (also reachable through the buttons' ids).
  void PressOk();
  bool PressApply();
  void PressCancel();
  void PressHelp();
  void PressNext();
  void PressBack();
  void PressFinish();

 private:
  void ApplyButton();
  int Notify(int page, int code);
  void ShowPage(int index);
  bool Wizard() const { return flags_ & kWizard; }

  std::string caption_;
  std::string heading_;
  int flags_;
  std::vector<LPropertyPage*> pages_;
  std::vector<QWidget*> pageWindows_;
  QPointer<QDialog> window_;
  QTabWidget* tabs_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  int current_ = -1;
};
