#pragma once
// Toolbars from a table of buttons: command id, image, label, tooltip and
// style. Buttons send their command to the dialog that holds the toolbar.
#include <QPointer>
#include <cstdint>

class QAction;
#include <QToolBar>
class QWidget;

constexpr uint8_t TBSTYLE_BUTTON = 0x00;
constexpr uint8_t TBSTYLE_SEP = 0x01;
constexpr uint8_t TBSTYLE_CHECK = 0x02;

struct LToolBarButton {
  uint16_t command;
  int16_t image;  // >= 0: standard image index; -n: the program's bitmap n
  const char* text;
  const char* tooltip;  // null: no tooltip
  uint8_t style;
};

// Standard image sets.
constexpr int IDB_STD_LARGE_COLOR = 1;
constexpr int IDB_STD_SMALL_COLOR = 0;

class LToolBar {
 public:
  LToolBar() = default;
  ~LToolBar();
  LToolBar(const LToolBar&) = delete;
  LToolBar& operator=(const LToolBar&) = delete;

  bool SetToolBar(QWidget* parent, const LToolBarButton* table, int count, int standardBitmap, int controlId);
  QToolBar* Handle() const { return toolbar_; }
  QAction* Button(int command) const;
  void EnableButton(int command, bool enable);
  bool IsButtonEnabled(int command) const;
  void CheckButton(int command, bool check);
  void SetButtonText(int command, const char* text);
  // Fits the toolbar to its parent's width.
  void AutoSize();

 private:
  QPointer<QToolBar> toolbar_;
};
