#pragma once
// A status bar of parts: each part ends at a right edge given in client
// pixels (-1: the bar's right edge) and holds a text and an optional icon.
#include <QWidget>
#include <vector>

class QFrame;
class QLabel;

class LStatusBar : public QWidget {
  Q_OBJECT
 public:
  explicit LStatusBar(QWidget* parent);
  void SetParts(const std::vector<int>& rightEdges);
  void SetText(int part, const QString& text);
  QString Text(int part) const;
  void SetIcon(int part, const QIcon& icon);
  int Parts() const { return int(parts_.size()); }

 signals:
  void clicked();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void Place();
  std::vector<int> edges_;
  std::vector<QLabel*> parts_;
  std::vector<QFrame*> frames_;
};
