#include "controls/db_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {

constexpr int kThumbWidth = 12;

struct PartColours {
  QColor fill;
  QColor border;
};

QColor Shown(const QColor& colour, bool enabled) { return enabled ? colour : QColor(128, 128, 128); }

}  // namespace

LDBEdit::LDBEdit(QWidget* parent, bool compact, int controlId) : QWidget(parent), controlId_(controlId) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::ArrowCursor);
  if (!compact) {
    edit_ = new QLineEdit(this);
    edit_->setAlignment(Qt::AlignRight);
    edit_->setFrame(false);
    connect(edit_, &QLineEdit::textEdited, this, &LDBEdit::OnTextEdited);
    // Room for "-36dB" in the field's font: most values are negative, and a
    // field that scrolled would hide the minus sign.
    editWidth_ = std::max(kEditWidth, edit_->fontMetrics().horizontalAdvance(QStringLiteral("-88dB")) + 6);
  }
  UpdateText();
}

QString LDBEdit::ValueText(int db) { return db <= -127 ? QStringLiteral("--dB") : QStringLiteral("%1dB").arg(db); }

int LDBEdit::ParseValueText(const QString& text) {
  int magnitude = 0;
  int minusSigns = 0;
  for (QChar c : text) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
      magnitude = std::min(magnitude * 10 + (c.unicode() - '0'), 100000);
    } else if (c == QLatin1Char('-')) {
      if (++minusSigns >= 2) magnitude = 127;
    }
  }
  // After a second minus sign further digits still append, as typed.
  int value = minusSigns ? -magnitude : magnitude;
  return std::clamp(value, -127, 127);
}

int LDBEdit::TrackWidth() const { return std::max(1, width() - 1 - TrackLeft()); }

int LDBEdit::PositionOf(int db) const {
  int range = std::max(1, maximum_ - minimum_);
  return (db - minimum_) * TrackWidth() / range;
}

QRect LDBEdit::ThumbFor(int db) const {
  int centre = TrackLeft() + PositionOf(db);
  int left = std::clamp(centre - kThumbWidth / 2, TrackLeft(), std::max(TrackLeft(), width() - 1 - kThumbWidth));
  return QRect(left, 0, kThumbWidth, height());
}

void LDBEdit::StoreValue(int db) {
  int clamped = std::clamp(db, minimum_, maximum_);
  if (clamped == value_) return;
  int from = TrackLeft() + PositionOf(std::min(clamped, value_));
  int to = TrackLeft() + PositionOf(std::max(clamped, value_));
  value_ = clamped;
  thumb_ = ThumbFor(value_);
  update(QRect(QPoint(from - kThumbWidth, 0), QPoint(to + kThumbWidth, height())));
}

void LDBEdit::SetValue(int db) {
  StoreValue(db);
  UpdateText();
}

void LDBEdit::SetRange(int minimum, int maximum) {
  minimum_ = std::clamp(minimum, -128, 127);
  maximum_ = std::clamp(maximum, -128, 127);
  value_ = std::clamp(value_, std::min(minimum_, maximum_), std::max(minimum_, maximum_));
  thumb_ = ThumbFor(value_);
  update();
  UpdateText();
}

void LDBEdit::UpdateText() {
  if (edit_) edit_->setText(ValueText(value_));
}

void LDBEdit::NotifyQueued() {
  QMetaObject::invokeMethod(
      this, [this] { emit Command(controlId_, kNotifyChange); }, Qt::QueuedConnection);
}

void LDBEdit::OnTextEdited(const QString& text) {
  int typed = ParseValueText(text);
  if (typed == value_) return;
  StoreValue(typed);
  emit Command(controlId_, kNotifyChange);
}

void LDBEdit::resizeEvent(QResizeEvent*) {
  thumb_ = ThumbFor(value_);
  if (edit_) edit_->setGeometry(0, 1, editWidth_, std::max(1, height() - 2));
}

void LDBEdit::SetCaptured(bool captured) {
  if (captured == captured_) return;
  captured_ = captured;
  setCursor(captured ? Qt::PointingHandCursor : Qt::ArrowCursor);
  update(thumb_);
}

void LDBEdit::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (!captured_ && thumb_.contains(at)) SetCaptured(true);
  if (captured_ && event->buttons() == Qt::LeftButton) {
    int left = edit_ ? editWidth_ : 0;
    int span = std::max(1, width() - left);
    int range = maximum_ - minimum_;
    int value = minimum_ + std::clamp(at.x() - left, 0, span) * range / span;
    if (value != value_) {
      StoreValue(value);
      UpdateText();
      NotifyQueued();
    }
  } else if (captured_ && event->buttons() == Qt::NoButton && !thumb_.contains(at)) {
    SetCaptured(false);
  }
}

void LDBEdit::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) SetCaptured(true);
}

void LDBEdit::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) SetCaptured(false);
}

void LDBEdit::keyPressEvent(QKeyEvent* event) {
  const bool keypad = event->modifiers() & Qt::KeypadModifier;
  if (!edit_ && keypad && (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Minus)) {
    int step = event->key() == Qt::Key_Plus ? 1 : -1;
    int before = value_;
    StoreValue(value_ + step);
    if (value_ != before) NotifyQueued();
    return;
  }
  QWidget::keyPressEvent(event);
}

void LDBEdit::focusInEvent(QFocusEvent* event) {
  if (edit_) {
    edit_->setFocus(event->reason());
    edit_->selectAll();
  }
  update(thumb_);
}

void LDBEdit::focusOutEvent(QFocusEvent*) { update(thumb_); }

void LDBEdit::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) update();
  QWidget::changeEvent(event);
}

void LDBEdit::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const bool enabled = isEnabled();
  const int left = TrackLeft();
  const int right = width() - 1;
  const int top = 2;
  const int bottom = height() - 2;
  const int range = std::max(1, maximum_ - minimum_);
  const int p = PositionOf(value_);
  const int zero = value_ < 0 ? left + p : left + (-minimum_) * TrackWidth() / range;

  painter.fillRect(QRect(left, 0, right - left + 1, height()), palette().window());
  auto part = [&](int from, int to, const PartColours& colours) {
    if (to <= from) return;
    painter.fillRect(QRect(from, top, to - from, bottom - top), Shown(colours.fill, enabled));
    painter.fillRect(QRect(from, top, to - from, 2), Shown(colours.border, enabled));
    painter.fillRect(QRect(from, bottom - 2, to - from, 2), Shown(colours.border, enabled));
  };
  part(left, zero, {QColor(102, 204, 153), QColor(51, 153, 102)});
  if (value_ >= 0) part(zero, left + p, {QColor(192, 0, 85), QColor(135, 10, 22)});
  part(left + p, right, {QColor(167, 174, 166), QColor(113, 123, 111)});

  thumb_ = ThumbFor(value_);
  const bool active = captured_ || hasFocus() || (edit_ && edit_->hasFocus());
  const QRect t = thumb_.adjusted(0, 0, -1, -1);
  painter.fillRect(t, Shown(active ? QColor(204, 204, 204) : QColor(230, 230, 230), enabled));
  painter.setPen(Shown(QColor(84, 81, 75), enabled));
  painter.drawLine(t.left() + 1, t.bottom() - 1, t.right() - 1, t.bottom() - 1);
  painter.drawLine(t.right() - 1, t.top() + 1, t.right() - 1, t.bottom() - 1);
  painter.setPen(Shown(Qt::black, enabled));
  painter.drawRect(t);
  painter.setPen(Shown(Qt::white, enabled));
  painter.drawLine(t.left() + 4, t.top() + 3, t.left() + 4, t.bottom() - 3);
  painter.setPen(Shown(QColor(147, 144, 136), enabled));
  painter.drawLine(t.left() + 6, t.top() + 3, t.left() + 6, t.bottom() - 3);
}
