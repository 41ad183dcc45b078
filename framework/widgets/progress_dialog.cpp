#include "framework/widgets/progress_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/win_defs.h"
#include "platform/debug_log.h"
#include "platform/program_version.h"

namespace {

// Cancel and the window's close both end the window at once.
class ProgressWindow : public QDialog {
 public:
  std::function<void()> onCancel;

 protected:
  void reject() override {
    if (onCancel) onCancel();
  }
};

}  // namespace

LProgressDialog::~LProgressDialog() { delete window_.data(); }

bool LProgressDialog::Run(QWidget* owner) {
  if (window_) {
    LDebugLog("LProgressDialog::Open Called when already open!");
    return false;
  }
  auto* window = new ProgressWindow;
  window->setObjectName(QStringLiteral("LProgressDialog"));
  window->setWindowTitle(QString::fromStdString(title_));
  auto* layout = new QVBoxLayout(window);
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel(window);
  icon->setPixmap(LLoadIcon(1).pixmap(32));
  top->addWidget(icon);
  auto* lines = new QVBoxLayout;
  lines->addWidget(LSetControlId(new QLabel(window), kLine0));
  lines->addWidget(LSetControlId(new QLabel(window), kLine1));
  top->addLayout(lines, 1);
  layout->addLayout(top);
  auto* bar = new QProgressBar(window);
  bar->setRange(0, 100);
  bar->setValue(0);
  layout->addWidget(LSetControlId(bar, kProgress));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(new QLabel(QString::fromUtf8(kProgramVersionLine), window));
  bottom->addStretch();
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), window);
  bottom->addWidget(LSetControlId(cancel, IDCANCEL));
  layout->addLayout(bottom);
  window->resize(360, window->sizeHint().height());
  window->onCancel = [this] { Cancel(); };
  QObject::connect(cancel, &QPushButton::clicked, window, [this] { Cancel(); });
  window_ = window;
  window->show();

  if (owner) owner->setEnabled(false);
  bool result = Process();
  if (owner) {
    owner->setEnabled(true);
    owner->activateWindow();
    owner->setFocus();
  }
  if (window_) {
    delete window_.data();
    window_ = nullptr;
  }
  return result;
}

void LProgressDialog::Cancel() {
  QDialog* window = window_;
  if (!window) {
    LDebugLog("LProgressDialog::DialogProc IDCANCEL invalid this pointer");
    return;
  }
  window_ = nullptr;
  window->hide();
  window->deleteLater();
}

void LProgressDialog::SetText(const std::string& text, int line) {
  if (!window_ || line < 0 || line > 1) return;
  if (auto* label = qobject_cast<QLabel*>(LFindControl(window_, line == 0 ? kLine0 : kLine1)))
    label->setText(QString::fromStdString(text));
}

void LProgressDialog::SetProgress(double fraction) {
  if (!window_) return;
  if (auto* bar = qobject_cast<QProgressBar*>(LFindControl(window_, kProgress)))
    bar->setValue(int(std::lround(std::clamp(fraction, 0.0, 1.0) * 100)));
}

bool LProgressDialog::Pump() {
  QApplication::processEvents(QEventLoop::AllEvents);
  return !window_;
}

int LProgressDialog::WaitWhilePumping(const std::function<bool(int)>& waitFor, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    qint64 left = timeoutMs - clock.elapsed();
    if (waitFor(int(std::clamp<qint64>(left, 0, 20)))) return 0;
    if (Pump()) return 1;
    if (clock.elapsed() >= timeoutMs) return 2;
  }
}
