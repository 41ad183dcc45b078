#include "study/dialog_layout.h"

#include <QBoxLayout>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>

#include "framework/widgets/controls.h"
#include "framework/widgets/win_defs.h"

void AddDialogButtons(QDialog* window, QBoxLayout* layout, const QString& okText, bool help) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  auto* ok = new QPushButton(okText, window);
  ok->setDefault(true);
  row->addWidget(LSetControlId(ok, IDOK));
  row->addWidget(LSetControlId(new QPushButton(QStringLiteral("Cancel"), window), IDCANCEL));
  if (help) row->addWidget(LSetControlId(new QPushButton(QStringLiteral("Help"), window), IDHELP));
  layout->addLayout(row);
}

QGroupBox* AddGroup(QWidget* parent, QBoxLayout* layout, const QString& title) {
  auto* group = new QGroupBox(title, parent);
  layout->addWidget(group);
  return group;
}
