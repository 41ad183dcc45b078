#include "controls/transport_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kWidth = 32;
constexpr int kHeight = 24;

void Triangle(QPainterPath& path, double x, double dir) {
  // A play triangle 8 wide with its base at x, pointing in dir (+1 right, -1 left).
  path.moveTo(x, 6);
  path.lineTo(x + 8 * dir, 12);
  path.lineTo(x, 18);
  path.closeSubpath();
}

QPixmap Draw(LTransportIcon which, const QColor& ink) {
  QPixmap pixmap(kWidth * 2, kHeight * 2);
  pixmap.setDevicePixelRatio(2);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  QPainterPath path;
  switch (which) {
    case LTransportIcon::kPlay:
      path.moveTo(12, 5);
      path.lineTo(22, 12);
      path.lineTo(12, 19);
      path.closeSubpath();
      break;
    case LTransportIcon::kScrub:
      // Play with a short loop under it: the quarter buffer heard again and again.
      Triangle(path, 12, 1);
      p.setPen(QPen(ink, 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(9, 15, 14, 6), 200 * 16, 140 * 16);
      p.setPen(Qt::NoPen);
      p.setBrush(ink);
      break;
    case LTransportIcon::kStop:
      path.addRect(11, 7, 10, 10);
      break;
    case LTransportIcon::kStart:
      path.addRect(9, 6, 2, 12);
      Triangle(path, 20, -1);
      break;
    case LTransportIcon::kRewind:
      Triangle(path, 16, -1);
      Triangle(path, 24, -1);
      break;
    case LTransportIcon::kForward:
      Triangle(path, 8, 1);
      Triangle(path, 16, 1);
      break;
    case LTransportIcon::kEnd:
      Triangle(path, 12, 1);
      path.addRect(21, 6, 2, 12);
      break;
    case LTransportIcon::kRecord:
      p.setBrush(QColor(200, 30, 30));
      path.addEllipse(QPointF(16, 12), 6, 6);
      break;
    case LTransportIcon::kRetake:
      // Back to where the take began, in record colour.
      p.setBrush(QColor(200, 30, 30));
      path.addEllipse(QPointF(20, 12), 5, 5);
      Triangle(path, 13, -1);
      break;
  }
  p.drawPath(path);
  return pixmap;
}

}  // namespace

QIcon LTransportIconFor(LTransportIcon which) {
  QIcon icon;
  icon.addPixmap(Draw(which, QColor(32, 32, 32)), QIcon::Normal);
  icon.addPixmap(Draw(which, QColor(150, 150, 150)), QIcon::Disabled);
  return icon;
}
