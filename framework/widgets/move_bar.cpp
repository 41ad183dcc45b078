#include "framework/widgets/move_bar.h"

#include <QBitmap>
#include <QPainter>
#include <QWidget>
#include <cmath>

#include "platform/debug_log.h"

namespace {

// The band: a 4-pixel strip of 50 % halftone over the window's content.
class BandWidget : public QWidget {
 public:
  explicit BandWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setObjectName(QStringLiteral("LHMoveBarBand"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    static const uchar kPattern[] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    QPainter painter(this);
    QBitmap bits = QBitmap::fromData(QSize(8, 8), kPattern);
    QBrush brush(Qt::black, bits);
    painter.setBrushOrigin(0, 0);
    painter.fillRect(rect(), brush);
  }
};

}  // namespace

LHMoveBar::~LHMoveBar() {
  if (cursorShown_ && cursorWindow_) cursorWindow_->unsetCursor();
  if (dragging_ && cursorWindow_) cursorWindow_->releaseMouse();
  delete band_.data();
}

int LHMoveBar::GetY() const {
  if (!positionSet_) LDebugLog("LHMoveBar::GetY() called before SetY is called");
  return position_;
}

void LHMoveBar::DrawBand(QWidget* window, int y) {
  if (!band_) band_ = new BandWidget(window);
  band_->setGeometry(0, y - 2, barWidth_, 4);
  band_->raise();
  band_->show();
}

void LHMoveBar::EraseBand() {
  if (band_) band_->hide();
}

bool LHMoveBar::EvLButtonDown(QWidget* window, int y) {
  if (dragging_) return true;
  if (!InZone(y)) return false;
  dragging_ = true;
  position_ = y;
  barWidth_ = window ? window->width() : barWidth_;
  if (window) DrawBand(window, y);
  return true;
}

bool LHMoveBar::EvLButtonUp(QWidget* /*window*/, int y) {
  if (!dragging_) return false;
  EraseBand();
  position_ = y;
  dragging_ = false;
  return true;
}

bool LHMoveBar::EvMouseMove(QWidget* window, int y) {
  if (!InZone(y) && !dragging_) {
    if (cursorShown_) {
      if (cursorWindow_) cursorWindow_->unsetCursor();
      cursorShown_ = false;
    }
    return false;
  }
  if (!cursorShown_ && window) {
    window->setCursor(Qt::SplitVCursor);
    cursorWindow_ = window;
    cursorShown_ = true;
  }
  if (dragging_ && y != position_) {
    EraseBand();
    if (window) DrawBand(window, y);
    position_ = y;
  }
  return true;
}

void LHMoveBar::EvSize(QWidget* window) {
  if (!window) return;
  int height = window->height();
  if (windowHeight_ > 0 && positionSet_) position_ = int(std::lround(double(position_) * height / windowHeight_));
  windowHeight_ = height;
}
