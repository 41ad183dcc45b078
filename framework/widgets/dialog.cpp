#include "framework/widgets/dialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>
#include <vector>

#include "framework/widgets/control_id.h"
#include "framework/widgets/key_codes.h"
#include "framework/widgets/win_defs.h"
#include "platform/debug_log.h"

namespace {

constexpr char kWiredProperty[] = "controlWired";

constexpr char kObjectProperty[] = "orativoDialog";

intptr_t PackPoint(const QPoint& p) { return intptr_t(uint16_t(p.x())) | (intptr_t(uint16_t(p.y())) << 16); }

uintptr_t SizeKind(const QWidget* window) {
  if (window->windowState() & Qt::WindowMinimized) return SIZE_MINIMIZED;
  if (window->windowState() & Qt::WindowMaximized) return SIZE_MAXIMIZED;
  return SIZE_RESTORED;
}

// Sees every key of the thread while an LKeyDialog loop runs and gives it to
// the innermost such dialog before any control gets it.
class KeyFilter : public QObject {
 public:
  static KeyFilter& Instance() {
    static KeyFilter* filter = [] {
      auto* f = new KeyFilter;
      qApp->installEventFilter(f);
      return f;
    }();
    return *filter;
  }
  std::vector<LKeyDialog*> running;

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    if (running.empty() || !receiver->isWidgetType()) return false;
    // A modal box or an open menu runs its own loop: keys stay with it.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
    auto* widget = static_cast<QWidget*>(receiver);
    auto* key = static_cast<QKeyEvent*>(event);
    // Qt offers an unused key to each parent in turn; we see it once. The
    // same event object going up the chain is the sign of that.
    bool sameKey = event == lastEvent_ && event->type() == lastType_ && key->key() == lastKey_ &&
                   key->modifiers() == lastModifiers_ && key->timestamp() == lastTimestamp_;
    if (sameKey && lastReceiver_ && lastReceiver_ != widget && widget->isAncestorOf(lastReceiver_)) {
      lastReceiver_ = widget;
      return false;
    }
    lastEvent_ = event;
    lastType_ = event->type();
    lastKey_ = key->key();
    lastModifiers_ = key->modifiers();
    lastTimestamp_ = key->timestamp();
    lastReceiver_ = widget;
    LKeyMessage message;
    bool alt = key->modifiers() & Qt::AltModifier;
    if (event->type() == QEvent::KeyPress)
      message.message = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    else
      message.message = alt ? WM_SYSKEYUP : WM_KEYUP;
    message.virtualKey = VirtualKeyFromQt(key->key());
    message.repeat = key->isAutoRepeat();
    message.modifiers = key->modifiers();
    if (message.virtualKey == 0) return false;
    return running.back()->TranslateKey(message);
  }

 private:
  QEvent* lastEvent_ = nullptr;
  QEvent::Type lastType_ = QEvent::None;
  int lastKey_ = 0;
  Qt::KeyboardModifiers lastModifiers_;
  quint64 lastTimestamp_ = 0;
  QPointer<QWidget> lastReceiver_;
};

}  // namespace

void LSendCommand(QWidget* from, int id, int notifyCode) {
  QWidget* window = LDialogWindow::DialogOf(from);
  if (window) LDialogWindow::StaticDialogProc(window, WM_COMMAND, MakeWParam(id, notifyCode), 0);
}

void LWireControls(QWidget* window) {
  const auto widgets = window->findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    int id = LGetControlId(w);
    if (id == 0 || w->property(kWiredProperty).isValid()) continue;
    w->setProperty(kWiredProperty, true);
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      QObject::connect(button, &QAbstractButton::clicked, button,
                       [button, id] { LSendCommand(button, id, BN_CLICKED); });
      if (auto* push = qobject_cast<QPushButton*>(w)) push->setAutoDefault(false);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, id] { LSendCommand(edit, id, EN_CHANGE); });
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(w)) {
      QObject::connect(text, &QPlainTextEdit::textChanged, text, [text, id] { LSendCommand(text, id, EN_CHANGE); });
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      QObject::connect(combo, &QComboBox::activated, combo, [combo, id] { LSendCommand(combo, id, CBN_SELCHANGE); });
    }
  }
  const auto actions = window->findChildren<QAction*>();
  for (QAction* action : actions) {
    int id = LGetControlId(action);
    if (id == 0 || action->property(kWiredProperty).isValid()) continue;
    action->setProperty(kWiredProperty, true);
    QObject::connect(action, &QAction::triggered, window, [window, id] { LSendCommand(window, id, 0); });
  }
}

// --- LDialogWindow ----------------------------------------------------------

LDialogWindow::LDialogWindow(QWidget* parent) : QDialog(parent) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

LDialogWindow::~LDialogWindow() {
  // Destroyed without the object's say (owner gone): it still hears of it.
  if (LDialog* object = ObjectOf(this)) {
    if (object->window_ == this) {
      object->DialogProc(WM_DESTROY, 0, 0);
      object->window_ = nullptr;
    }
  }
}

LDialog* LDialogWindow::ObjectOf(QWidget* window) {
  if (!window) return nullptr;
  return static_cast<LDialog*>(window->property(kObjectProperty).value<void*>());
}

QWidget* LDialogWindow::DialogOf(QWidget* widget) {
  for (QWidget* w = widget; w; w = w->parentWidget())
    if (w->property(kObjectProperty).isValid()) return w;
  return nullptr;
}

bool LDialogWindow::StaticDialogProc(QWidget* window, unsigned message, uintptr_t wParam, intptr_t lParam) {
  LDialog* object = ObjectOf(window);
  if (!object || object->window_ != window) return false;
  return object->DialogProc(message, wParam, lParam);
}

void LDialogWindow::accept() { StaticDialogProc(this, WM_COMMAND, MakeWParam(IDOK, BN_CLICKED), 0); }

void LDialogWindow::reject() { StaticDialogProc(this, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0); }

void LDialogWindow::closeEvent(QCloseEvent* event) {
  // The system's close is a Cancel; the object decides and closes itself.
  // Ending the modal run also closes the window; that close is accepted.
  if (ObjectOf(this) && ObjectOf(this)->window_ == this) {
    event->ignore();
    reject();
  } else {
    event->accept();
  }
}

void LDialogWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      reject();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      // Enter presses the focused push button, else the default one (OK).
      auto* button = qobject_cast<QPushButton*>(focusWidget());
      int id = button ? LGetControlId(button) : 0;
      StaticDialogProc(this, WM_COMMAND, MakeWParam(id > 0 ? id : IDOK, BN_CLICKED), 0);
      return;
    }
    case Qt::Key_F1:
      StaticDialogProc(this, WM_HELP, 0, 0);
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void LDialogWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  StaticDialogProc(this, WM_SIZE, SizeKind(this), PackPoint(QPoint(width(), height())));
}

void LDialogWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    StaticDialogProc(this, WM_LBUTTONDOWN, 0, PackPoint(event->position().toPoint()));
  QDialog::mousePressEvent(event);
}

void LDialogWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    StaticDialogProc(this, WM_LBUTTONUP, 0, PackPoint(event->position().toPoint()));
  QDialog::mouseReleaseEvent(event);
}

void LDialogWindow::mouseMoveEvent(QMouseEvent* event) {
  StaticDialogProc(this, WM_MOUSEMOVE, 0, PackPoint(event->position().toPoint()));
  QDialog::mouseMoveEvent(event);
}

void LDialogWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange) StaticDialogProc(this, WM_ACTIVATE, isActiveWindow() ? 1 : 0, 0);
}

void LDialogWindow::contextMenuEvent(QContextMenuEvent* event) {
  QWidget* over = childAt(event->pos());
  StaticDialogProc(this, WM_CONTEXTMENU, uintptr_t(LGetControlId(over)), PackPoint(event->globalPos()));
}

// --- LDialog ----------------------------------------------------------------

LDialog::LDialog() = default;

LDialog::~LDialog() {
  if (window_) {
    QDialog* window = window_;
    Unbind();
    delete window;
  }
}

void LDialog::Unbind() {
  if (window_) window_->setProperty(kObjectProperty, QVariant());
  window_ = nullptr;
  timers_.clear();  // owned by the window
}

LDialogWindow* LDialog::CreateFromTemplate(const LDialogTemplate& dialogTemplate, QWidget* parent) {
  auto* window = new LDialogWindow(parent);
  window->setObjectName(dialogTemplate.name);
  if (!dialogTemplate.build || !dialogTemplate.build(window)) {
    LDebugLog("LDialog::CreateFromTemplate unable to build template %s", dialogTemplate.name);
    delete window;
    return nullptr;
  }
  LWireControls(window);
  // The initialise-dialog message: bind, then set up and enable controls.
  window->setProperty(kObjectProperty, QVariant::fromValue<void*>(this));
  window_ = window;
  InitDialog();
  if (window_ == window) UpdateControls();
  return window_ == window ? window : nullptr;
}

int LDialog::DoModal(const LDialogTemplate& dialogTemplate, QWidget* owner) {
  if (window_) return -1;
  LDialogWindow* window = CreateFromTemplate(dialogTemplate, owner);
  if (!window) return -1;
  QPointer<LDialogWindow> guard(window);
  int code = window->exec();
  if (guard) {
    if (window_ == window) {
      DialogProc(WM_DESTROY, 0, 0);
      Unbind();
    }
    window->setProperty(kObjectProperty, QVariant());
    delete window;
  }
  return code;
}

void LDialog::Close(int code) {
  if (!window_) return;
  DestroyDialog();
  auto* window = qobject_cast<LDialogWindow*>(window_.data());
  Unbind();
  if (window) window->EndDialog(code);
}

void LDialog::DestroyWindowNow() {
  QPointer<QDialog> window = window_;
  if (!window) return;
  LDialogWindow::StaticDialogProc(window, WM_DESTROY, 0, 0);
  if (window_ == window) window_ = nullptr;
  timers_.clear();
  if (window) {
    window->setProperty(kObjectProperty, QVariant());
    window->hide();
    window->deleteLater();
  }
}

bool LDialog::DialogProc(unsigned message, uintptr_t wParam, intptr_t /*lParam*/) {
  switch (message) {
    case WM_DESTROY:
      DestroyDialog();
      window_ = nullptr;
      timers_.clear();
      return false;
    case WM_ENDSESSION:
      if (wParam) {
        DestroyDialog();
        window_ = nullptr;
        timers_.clear();
      }
      return true;
    case WM_HELP:
      CmHelp();
      return true;
    case WM_COMMAND: {
      int id = LoWord(wParam);
      switch (id) {
        case IDOK:
          if (CmOk()) Close(IDOK);
          return true;
        case IDCANCEL:
          if (CmCancel()) Close(IDCANCEL);
          return true;
        case IDHELP:
          CmHelp();
          return true;
        default:
          EvCommand(id, HiWord(wParam));
          if (window_) UpdateControls();
          return true;
      }
    }
    default:
      return false;
  }
}

QWidget* LDialog::Control(int id) const { return window_ ? LFindControl(window_, id) : nullptr; }

bool LDialog::SendMessage(unsigned message, uintptr_t wParam, intptr_t lParam) {
  return window_ && LDialogWindow::StaticDialogProc(window_, message, wParam, lParam);
}

bool LDialog::SendCommand(int id, int notifyCode) { return SendMessage(WM_COMMAND, MakeWParam(id, notifyCode), 0); }

void LDialog::SetTimer(int id, int milliseconds) {
  if (!window_) return;
  QTimer*& timer = timers_[id];
  if (!timer) {
    timer = new QTimer(window_);
    QPointer<QDialog> window = window_;
    QObject::connect(timer, &QTimer::timeout, window, [window, id] {
      if (window) LDialogWindow::StaticDialogProc(window, WM_TIMER, uintptr_t(id), 0);
    });
  }
  timer->start(milliseconds);
}

void LDialog::KillTimer(int id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second->stop();
}

bool LDialog::HasTimer(int id) const {
  auto it = timers_.find(id);
  return it != timers_.end() && it->second->isActive();
}

// --- LKeyDialog -------------------------------------------------------------

LKeyDialog* LKeyDialog::Running() {
  auto& running = KeyFilter::Instance().running;
  return running.empty() ? nullptr : running.back();
}

LKeyDialog::~LKeyDialog() {
  auto& running = KeyFilter::Instance().running;
  std::erase(running, this);
}

bool LKeyDialog::Open(QWidget* owner, const LDialogTemplate& dialogTemplate) {
  if (window_) {
    LDebugLog("LKeyDialog::Open already open");
    return false;
  }
  // A separate top-level window: disabling the owner must not disable it.
  LDialogWindow* window = CreateFromTemplate(dialogTemplate, nullptr);
  if (!window) {
    LDebugLog("LKeyDialog::Open CreateDialog Failed");
    return false;
  }
  owner_ = owner;
  if (owner) {
    owner->setEnabled(false);
    window->winId();
    if (window->windowHandle() && owner->window()->windowHandle())
      window->windowHandle()->setTransientParent(owner->window()->windowHandle());
  }
  QPointer<LDialogWindow> guard(window);
  if (window_ == window && !window->isVisible()) window->show();
  auto& running = KeyFilter::Instance().running;
  running.push_back(this);
  if (guard) {
    QEventLoop loop;
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
    loop.exec();
    if (guard) {
      LDebugLog("LKeyDialog::Open GetMessage FAILED");
      if (window_ == window) DestroyWindowNow();
    }
  }
  std::erase(running, this);
  if (owner_) owner_->setEnabled(true);
  owner_ = nullptr;
  return true;
}

void LKeyDialog::Close(int /*code*/) {
  if (owner_) owner_->setEnabled(true);
  DestroyWindowNow();
}

bool LKeyDialog::TranslateKey(const LKeyMessage& message) {
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      if (message.repeat) return false;
      int key = message.virtualKey;
      if (message.modifiers & Qt::ControlModifier) key += KEY_CTRL;
      if (message.modifiers & Qt::AltModifier) key += KEY_ALT;
      if (message.modifiers & Qt::ShiftModifier) key += KEY_SHIFT;
      return EvKeyDown(key);
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return EvKeyUp(message.virtualKey);
    default:
      return false;
  }
}
