#include "framework/widgets/property_sheet.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/win_defs.h"

namespace {
class SheetWindow : public QDialog {
 public:
  std::function<void()> onCancel;
  void reject() override {
    if (onCancel) onCancel();
  }
};
}  // namespace

// --- pages ------------------------------------------------------------------

void LPropertyPage::PreparePage(const LDialogTemplate& dialogTemplate, std::string headerTitle,
                                std::string headerSubtitle, bool helpWanted) {
  template_ = &dialogTemplate;
  headerTitle_ = std::move(headerTitle);
  headerSubtitle_ = std::move(headerSubtitle);
  helpWanted_ = helpWanted;
  wizardButtons_ = PSWIZB_BACKNEXT;
}

QWidget* LPropertyPage::CreatePage(QWidget* parent) {
  if (!template_) return nullptr;
  LDialogWindow* window = CreateFromTemplate(*template_, parent);
  if (window) window->setWindowFlags(Qt::Widget);
  return window;
}

bool LPropertyPage::DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_NOTIFY && lParam) {
    auto* notify = reinterpret_cast<LSheetNotify*>(lParam);
    switch (notify->code) {
      case PSN_HELP:
        CmHelp();
        return true;
      case PSN_APPLY:
        notify->result = CmOk() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
        return true;
      default:
        break;
    }
  }
  // The sheet owns OK and Cancel.
  if (message == WM_COMMAND && (LoWord(wParam) == IDOK || LoWord(wParam) == IDCANCEL)) return true;
  return LDialog::DialogProc(message, wParam, lParam);
}

bool LWizardPage::DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_NOTIFY && lParam) {
    auto* notify = reinterpret_cast<LSheetNotify*>(lParam);
    switch (notify->code) {
      case PSN_WIZFINISH:
        notify->result = CmOk() ? 0 : 1;  // nonzero forbids finishing
        return true;
      case PSN_WIZNEXT:
        notify->result = CmOk() ? 0 : -1;
        return true;
      case PSN_KILLACTIVE:
        PageLeaving();
        return true;
      case PSN_SETACTIVE:
        // Posted, as the sheet would get it: the buttons as they are now.
        if (Sheet() && Sheet()->Window()) {
          QPointer<QDialog> sheetWindow = Sheet()->Window();
          LPropertySheet* sheet = Sheet();
          int buttons = wizardButtons_;
          QTimer::singleShot(0, sheetWindow, [sheet, buttons] { sheet->SetWizButtons(buttons); });
        }
        PageActivated();
        if (Window()) UpdateControls();
        return true;
      default:
        break;
    }
  }
  return LPropertyPage::DialogProc(message, wParam, lParam);
}

// --- sheet ------------------------------------------------------------------

LPropertySheet::~LPropertySheet() { delete window_.data(); }

int LPropertySheet::Notify(int page, int code) {
  if (page < 0 || page >= int(pages_.size()) || !pageWindows_[page]) return 0;
  LSheetNotify notify{code};
  LDialogWindow::StaticDialogProc(pageWindows_[page], WM_NOTIFY, 0, reinterpret_cast<intptr_t>(&notify));
  return notify.result;
}

void LPropertySheet::ShowPage(int index) {
  if (index < 0 || index >= int(pages_.size())) return;
  if (!pageWindows_[index]) {
    QWidget* parent = Wizard() ? static_cast<QWidget*>(stack_) : static_cast<QWidget*>(tabs_);
    pageWindows_[index] = pages_[index]->CreatePage(parent);
    if (!pageWindows_[index]) pageWindows_[index] = new QWidget(parent);
    if (Wizard())
      stack_->insertWidget(index, pageWindows_[index]);
    else
      tabs_->insertTab(index, pageWindows_[index], pageWindows_[index]->windowTitle());
  }
  if (Wizard() && current_ >= 0 && current_ != index) Notify(current_, PSN_KILLACTIVE);
  current_ = index;
  if (Wizard()) {
    stack_->setCurrentWidget(pageWindows_[index]);
    if (auto* title = window_->findChild<QLabel*>("headerTitle"))
      title->setText(QString::fromStdString(pages_[index]->HeaderTitle()));
    if (auto* subtitle = window_->findChild<QLabel*>("headerSubtitle"))
      subtitle->setText(QString::fromStdString(pages_[index]->HeaderSubtitle()));
  } else {
    tabs_->setCurrentWidget(pageWindows_[index]);
  }
  Notify(index, PSN_SETACTIVE);
}

int LPropertySheet::Run(QWidget* owner) {
  if (window_ || pages_.empty()) return IDCANCEL;
  auto* window = new SheetWindow;
  if (owner) window->setParent(owner, Qt::Dialog);
  window_ = window;
  window->onCancel = [this] { PressCancel(); };
  window->setWindowTitle(QString::fromStdString(caption_));
  auto* layout = new QVBoxLayout(window);
  if (!heading_.empty()) layout->addWidget(new QLabel(QString::fromStdString(heading_), window));
  for (LPropertyPage* page : pages_) page->sheet_ = this;
  pageWindows_.assign(pages_.size(), nullptr);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto addButton = [&](int id, const char* text, void (LPropertySheet::*press)()) {
    auto* button = new QPushButton(QString::fromUtf8(text), window);
    button->setAutoDefault(false);
    LSetControlId(button, id);
    QObject::connect(button, &QPushButton::clicked, window, [this, press] { (this->*press)(); });
    buttons->addWidget(button);
  };
  if (Wizard()) {
    auto* title = new QLabel(window);
    title->setObjectName("headerTitle");
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* subtitle = new QLabel(window);
    subtitle->setObjectName("headerSubtitle");
    layout->addWidget(title);
    layout->addWidget(subtitle);
    stack_ = new QStackedWidget(window);
    layout->addWidget(stack_, 1);
    addButton(IDC_SHEET_BACK, "< &Back", &LPropertySheet::PressBack);
    addButton(IDC_SHEET_NEXT, "&Next >", &LPropertySheet::PressNext);
    addButton(IDC_SHEET_FINISH, "Finish", &LPropertySheet::PressFinish);
    addButton(IDCANCEL, "Cancel", &LPropertySheet::PressCancel);
  } else {
    tabs_ = new QTabWidget(window);
    layout->addWidget(tabs_, 1);
    addButton(IDOK, "OK", &LPropertySheet::PressOk);
    addButton(IDCANCEL, "Cancel", &LPropertySheet::PressCancel);
    if (!(flags_ & kNoApply)) addButton(IDC_SHEET_APPLY, "&Apply", &LPropertySheet::ApplyButton);
    // Every page is made up front so that each tab has its title.
    for (int i = int(pages_.size()) - 1; i >= 0; --i) ShowPage(i);
    QObject::connect(tabs_, &QTabWidget::currentChanged, window, [this](int index) {
      if (index != current_) ShowPage(index);
    });
  }
  if (flags_ & kHasHelp) addButton(IDHELP, "Help", &LPropertySheet::PressHelp);
  layout->addLayout(buttons);
  ShowPage(0);
  int code = window->exec();
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i]->Window()) {
      LDialogWindow::StaticDialogProc(pages_[i]->Window(), WM_DESTROY, 0, 0);
      pages_[i]->Unbind();
    }
    pages_[i]->sheet_ = nullptr;
  }
  pageWindows_.clear();
  delete window_.data();
  window_ = nullptr;
  current_ = -1;
  return code == IDOK ? IDOK : IDCANCEL;
}

void LPropertySheet::SetWizButtons(int buttons) {
  if (!window_) return;
  if (QWidget* back = LFindControl(window_, IDC_SHEET_BACK)) back->setEnabled(buttons & PSWIZB_BACK);
  if (QWidget* next = LFindControl(window_, IDC_SHEET_NEXT)) next->setEnabled(buttons & PSWIZB_NEXT);
  if (QWidget* finish = LFindControl(window_, IDC_SHEET_FINISH)) finish->setEnabled(buttons & PSWIZB_FINISH);
}

void LPropertySheet::ApplyButton() { PressApply(); }

bool LPropertySheet::PressApply() {
  for (int i = 0; i < int(pages_.size()); ++i) {
    if (Notify(i, PSN_APPLY) == PSNRET_INVALID_NOCHANGEPAGE) {
      ShowPage(i);
      return false;
    }
  }
  return true;
}

void LPropertySheet::PressOk() {
  if (window_ && PressApply()) window_->done(IDOK);
}

void LPropertySheet::PressCancel() {
  if (window_) window_->done(IDCANCEL);
}

void LPropertySheet::PressHelp() { Notify(current_, PSN_HELP); }

void LPropertySheet::PressNext() {
  if (!window_ || Notify(current_, PSN_WIZNEXT) == -1) return;
  if (current_ + 1 < int(pages_.size())) ShowPage(current_ + 1);
}

void LPropertySheet::PressBack() {
  if (!window_ || Notify(current_, PSN_WIZBACK) == -1) return;
  if (current_ > 0) ShowPage(current_ - 1);
}

void LPropertySheet::PressFinish() {
  if (!window_ || Notify(current_, PSN_WIZFINISH) != 0) return;
  window_->done(IDOK);
}
