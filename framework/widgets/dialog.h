#pragma once
// LDialog binds one object to one window and turns what happens in the window
// into a few virtual operations: OK, Cancel, Help, commands, destruction.
// LKeyDialog is the modeless variant with its own loop that sees every key
// first. The object outlives its window and may run it again.
//
// A dialog template is code that builds a window's controls, each with its
// numeric id (LSetControlId), so that commands and tests address controls by
// id just as the program does.
#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <map>
#include <string>

class LDialog;
class QTimer;

// Connects the controls of window (buttons, edits, combo boxes, actions) so
// that their notifications reach the dialog as commands. Safe to call twice.
void LWireControls(QWidget* window);
// Sends a WM_COMMAND for control of window with id and code.
void LSendCommand(QWidget* from, int id, int notifyCode);

struct LDialogTemplate {
  const char* name;
  // Builds title, menu, controls and initial size into window; false on failure.
  bool (*build)(QDialog* window);
};

// Window-side half of a dialog: forwards Qt events as messages to the object.
class LDialogWindow : public QDialog {
  Q_OBJECT
 public:
  explicit LDialogWindow(QWidget* parent);
  ~LDialogWindow() override;
  void EndDialog(int code) { QDialog::done(code); }

  // The static procedure shared by all dialogs: finds the bound object and
  // dispatches to it unless the object has let go of this window.
  static bool StaticDialogProc(QWidget* window, unsigned message, uintptr_t wParam, intptr_t lParam);
  // The dialog window that owns widget (a control, a toolbar, a page).
  static QWidget* DialogOf(QWidget* widget);
  static LDialog* ObjectOf(QWidget* window);

 public slots:
  void accept() override;
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
};

class LDialog {
 public:
  LDialog();
  virtual ~LDialog();
  LDialog(const LDialog&) = delete;
  LDialog& operator=(const LDialog&) = delete;

  virtual void InitDialog() {}
  virtual bool CmOk() { return true; }
  virtual bool CmCancel() { return true; }
  virtual void CmHelp() {}
  virtual void UpdateControls() {}
  virtual void EvCommand(int /*id*/, int /*notifyCode*/) {}
  virtual void DestroyDialog() {}
  virtual void Close(int code);
  virtual bool DialogProc(unsigned message, uintptr_t wParam, intptr_t lParam);

  // Modal run: builds the window from the template and returns the end code
  // (-1 when the window already exists or cannot be built).
  int DoModal(const LDialogTemplate& dialogTemplate, QWidget* owner);

  QDialog* Window() const { return window_; }
  QWidget* Control(int id) const;
  template <class T>
  T* ControlAs(int id) const {
    return qobject_cast<T*>(Control(id));
  }
  // Delivers a message as the window would (through the static procedure).
  bool SendMessage(unsigned message, uintptr_t wParam = 0, intptr_t lParam = 0);
  bool SendCommand(int id, int notifyCode = 0);

  // Window timers: WM_TIMER with the id; a timer keeps firing until killed.
  void SetTimer(int id, int milliseconds);
  void KillTimer(int id);
  bool HasTimer(int id) const;

 protected:
  // Builds the window and runs InitDialog and UpdateControls; null on failure.
  LDialogWindow* CreateFromTemplate(const LDialogTemplate& dialogTemplate, QWidget* parent);
  // Destroys the window now: WM_DESTROY reaches the object first.
  void DestroyWindowNow();
  void Unbind();

  QPointer<QDialog> window_;

 private:
  friend class LDialogWindow;
  std::map<int, QTimer*> timers_;
};

// What TranslateKey sees of a key message.
struct LKeyMessage {
  unsigned message = 0;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP
  int virtualKey = 0;
  bool repeat = false;
  Qt::KeyboardModifiers modifiers;
};

class LKeyDialog : public LDialog {
 public:
  ~LKeyDialog() override;
  // Builds the window, disables owner and runs until the window is gone.
  bool Open(QWidget* owner, const LDialogTemplate& dialogTemplate);
  void Close(int code = 0) override;
  virtual bool EvKeyDown(int /*key*/) { return false; }
  virtual bool EvKeyUp(int /*key*/) { return false; }
  virtual bool TranslateKey(const LKeyMessage& message);

  // The innermost LKeyDialog whose Open loop is running, or null.
  static LKeyDialog* Running();

 private:
  QPointer<QWidget> owner_;
};
