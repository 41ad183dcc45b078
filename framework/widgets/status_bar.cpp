#include "framework/widgets/status_bar.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>

LStatusBar::LStatusBar(QWidget* parent) : QWidget(parent) {
  setFixedHeight(fontMetrics().height() + 8);
  SetParts({-1});
}

void LStatusBar::SetParts(const std::vector<int>& rightEdges) {
  edges_ = rightEdges;
  while (parts_.size() < edges_.size()) {
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(3, 0, 3, 0);
    layout->setSpacing(4);
    auto* icon = new QLabel(frame);
    icon->setObjectName(QStringLiteral("icon"));
    icon->hide();
    auto* label = new QLabel(frame);
    label->setObjectName(QStringLiteral("part%1").arg(parts_.size()));
    layout->addWidget(icon);
    layout->addWidget(label, 1);
    frame->show();
    frames_.push_back(frame);
    parts_.push_back(label);
  }
  while (parts_.size() > edges_.size()) {
    delete frames_.back();
    frames_.pop_back();
    parts_.pop_back();
  }
  Place();
}

void LStatusBar::SetText(int part, const QString& text) {
  if (part >= 0 && part < Parts()) parts_[size_t(part)]->setText(text);
}

QString LStatusBar::Text(int part) const {
  return part >= 0 && part < Parts() ? parts_[size_t(part)]->text() : QString();
}

void LStatusBar::SetIcon(int part, const QIcon& icon) {
  if (part < 0 || part >= Parts()) return;
  auto* label = frames_[size_t(part)]->findChild<QLabel*>(QStringLiteral("icon"));
  if (icon.isNull()) {
    label->clear();
    label->hide();
  } else {
    label->setPixmap(icon.pixmap(16));
    label->show();
  }
}

void LStatusBar::Place() {
  int left = 0;
  for (size_t i = 0; i < parts_.size(); ++i) {
    int right = edges_[i] < 0 ? width() : std::min(edges_[i], width());
    frames_[i]->setGeometry(left, 1, std::max(0, right - left), height() - 2);
    left = right;
  }
}

void LStatusBar::resizeEvent(QResizeEvent*) { Place(); }

void LStatusBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
}
