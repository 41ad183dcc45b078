#pragma once
// LDBEdit: a horizontal dB slider, with a small "%ddB" edit field on its left
// unless it is compact. Every change the user makes is reported to the parent
// as Command(controlId, kNotifyChange): at once for typed text, queued for
// drags and keys.
#include <QWidget>

class QLineEdit;

class LDBEdit : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kNotifyChange = 0x300;
  static constexpr int kEditWidth = 32;  // at least; wider when the font needs it

  explicit LDBEdit(QWidget* parent = nullptr, bool compact = false, int controlId = 0);

  void SetValue(int db);  // clamped to the range
  int GetValue() const { return value_; }
  void SetRange(int minimum, int maximum);
  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }
  bool IsCompact() const { return edit_ == nullptr; }
  int ControlId() const { return controlId_; }
  QLineEdit* EditField() const { return edit_; }
  QRect ThumbRect() const { return thumb_; }

  // "--dB" for -127 and below, else "%ddB".
  static QString ValueText(int db);
  // Digits are appended, other characters skipped; a minus sign makes the
  // number negative and a second one sets the magnitude to 127.
  static int ParseValueText(const QString& text);

 signals:
  void Command(int controlId, int notifyCode);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  int TrackLeft() const { return edit_ ? editWidth_ + 1 : 0; }
  int TrackWidth() const;
  int PositionOf(int db) const;  // pixel offset of a value from the track's left
  QRect ThumbFor(int db) const;
  void StoreValue(int db);  // clamps, repaints the changed band; no text, no notice
  void UpdateText();
  void NotifyQueued();
  void OnTextEdited(const QString& text);
  void SetCaptured(bool captured);

  QLineEdit* edit_ = nullptr;
  int editWidth_ = 0;
  int controlId_;
  int value_ = 0;
  int minimum_ = -36;
  int maximum_ = 12;
  bool captured_ = false;
  QRect thumb_;
};
