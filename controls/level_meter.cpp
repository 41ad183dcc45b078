#include "controls/level_meter.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace {

QImage ShadedBitmap(QColor base) {
  QImage image(9, 32, QImage::Format_RGB32);
  for (int y = 0; y < 32; ++y) {
    // Brightest a third of the way down, darker towards both edges.
    double light = 1.0 - std::abs(y - 10) / 32.0;
    QColor c = QColor::fromHsvF(base.hsvHueF(), base.hsvSaturationF(), std::clamp(base.valueF() * light, 0.0, 1.0));
    for (int x = 0; x < 9; ++x) image.setPixelColor(x, y, x == 8 ? c.darker(125) : c);
  }
  return image;
}

}  // namespace

QImage LDBGreenBitmap() { return ShadedBitmap(QColor(40, 230, 60)); }
QImage LDBRedBitmap() { return ShadedBitmap(QColor(240, 40, 30)); }

LDBDisplay::LDBDisplay(QWidget* parent) : QWidget(parent) {
  levels_.fill(kMinDB);
  green_ = QBrush(QPixmap::fromImage(LDBGreenBitmap()));
  red_ = QBrush(QPixmap::fromImage(LDBRedBitmap()));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

int LDBDisplay::ColumnOf(int db) const { return (db - kMinDB) * (width() - 1) / (kMaxDB - kMinDB); }

int LDBDisplay::BandTop(int channel, int count) const { return channel * (height() - 1) / count; }

void LDBDisplay::SetLevels(const LLevelRecord& record) {
  int count = std::min<int>(record.channels, kMaxChannels);
  for (int i = 0; i < count; ++i) {
    int level = std::clamp<int>(record.level[i], kMinDB, kMaxDB);
    if (level == levels_[size_t(i)]) continue;
    int from = ColumnOf(std::min(level, levels_[size_t(i)]));
    int to = ColumnOf(std::max(level, levels_[size_t(i)]));
    levels_[size_t(i)] = level;
    if (i < channelCount_) {
      int top = BandTop(i, channelCount_);
      int bottom = BandTop(i + 1, channelCount_);
      update(QRect(QPoint(from, top), QPoint(to + 1, bottom)));
    }
  }
  if (count != channelCount_) {
    channelCount_ = count;
    update();
  }
}

void LDBDisplay::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) update();
  QWidget::changeEvent(event);
}

void LDBDisplay::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = event->rect();
  painter.setClipRect(area);
  if (channelCount_ == 0 || !isEnabled()) {
    painter.fillRect(area, QColor(128, 128, 128));
    return;
  }
  const int w = width();
  const int h = height();
  for (int i = 0; i < channelCount_; ++i) {
    const int top = BandTop(i, channelCount_);
    const int bottom = BandTop(i + 1, channelCount_);
    const int level = levels_[size_t(i)];
    const int greenEnd = ColumnOf(std::min(level, 0));
    const int levelEnd = ColumnOf(level);
    // The brush origin at the band's top lines the shading up with every band.
    painter.setBrushOrigin(0, top);
    painter.fillRect(QRect(QPoint(0, top), QPoint(greenEnd - 1, bottom - 1)), green_);
    if (level > 0) painter.fillRect(QRect(QPoint(greenEnd, top), QPoint(levelEnd - 1, bottom - 1)), red_);
    painter.fillRect(QRect(QPoint(levelEnd, top), QPoint(w - 2, bottom - 1)), Qt::black);
  }
  if (area.bottom() >= h - 1) {
    painter.setPen(Qt::white);
    painter.drawLine(0, h - 1, w - 1, h - 1);
    painter.drawLine(w - 1, 0, w - 1, h - 1);
  }
}
