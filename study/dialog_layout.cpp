#include "study/dialog_layout.h"

#include <QBoxLayout>
#include <QGroupBox>

QGroupBox* AddGroup(QWidget* parent, QBoxLayout* layout, const QString& title) {
  auto* group = new QGroupBox(title, parent);
  layout->addWidget(group);
  return group;
}
