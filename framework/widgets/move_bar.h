#pragma once
// The horizontal splitter the tutor window draws between its upper and lower
// panes. The owner feeds it mouse positions (client y) and lays out its panes
// around GetY(). While dragging, a halftone band shows where the bar goes.
#include <QPointer>

class QWidget;

class LHMoveBar {
 public:
  static constexpr int kZone = 4;  // half-height of the grip zone, exclusive
  LHMoveBar() = default;
  ~LHMoveBar();
  LHMoveBar(const LHMoveBar&) = delete;
  LHMoveBar& operator=(const LHMoveBar&) = delete;

  void SetY(int y) {
    position_ = y;
    positionSet_ = true;
  }
  int GetY() const;
  bool EvLButtonDown(QWidget* window, int y);
  bool EvLButtonUp(QWidget* window, int y);
  bool EvMouseMove(QWidget* window, int y);
  void EvSize(QWidget* window);

  bool Dragging() const { return dragging_; }
  bool CursorShown() const { return cursorShown_; }
  int BarWidth() const { return barWidth_; }
  QWidget* Band() const { return band_; }

 private:
  bool InZone(int y) const { return positionSet_ && y > position_ - kZone && y < position_ + kZone; }
  void DrawBand(QWidget* window, int y);
  void EraseBand();

  int position_ = 0;
  bool positionSet_ = false;
  int windowHeight_ = 0;
  int barWidth_ = 500;
  bool dragging_ = false;
  bool cursorShown_ = false;
  QPointer<QWidget> cursorWindow_;
  QPointer<QWidget> band_;
};
