#include "framework/widgets/toolbar.h"

#include <QAction>
#include <QApplication>
#include <QStyle>
#include <QToolBar>

#include "framework/widgets/dialog_items.h"
#include "platform/debug_log.h"

namespace {

QIcon StandardImage(int index) {
  static const QStyle::StandardPixmap kImages[] = {
      QStyle::SP_DialogCancelButton, QStyle::SP_DialogApplyButton, QStyle::SP_FileDialogNewFolder,
      QStyle::SP_DialogOpenButton,   QStyle::SP_DialogSaveButton,  QStyle::SP_FileIcon,
      QStyle::SP_DialogHelpButton,   QStyle::SP_TrashIcon,         QStyle::SP_FileDialogDetailedView};
  int count = int(sizeof kImages / sizeof kImages[0]);
  return QApplication::style()->standardIcon(kImages[index % count]);
}

}  // namespace

LToolBar::~LToolBar() = default;  // the parent window owns the toolbar

bool LToolBar::SetToolBar(QWidget* parent, const LToolBarButton* table, int count, int /*standardBitmap*/,
                          int controlId) {
  if (toolbar_) {
    LDebugLog("LToolBar::SetToolBar called when hwndToolBar is already assigned");
    return false;
  }
  if (!parent) {
    LDebugLog("LToolBar::SetToolBar CreateToolbarEx FAILED");
    return false;
  }
  toolbar_ = new QToolBar(parent);
  LSetControlId(toolbar_, controlId);
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->setIconSize(QSize(24, 24));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  for (int i = 0; i < count; ++i) {
    const LToolBarButton& row = table[i];
    if (row.style & TBSTYLE_SEP) {
      toolbar_->addSeparator();
      continue;
    }
    QIcon icon = row.image < 0 ? LLoadBitmap(-row.image) : StandardImage(row.image);
    QAction* action = toolbar_->addAction(icon, QString::fromUtf8(row.text ? row.text : ""));
    action->setObjectName(QStringLiteral("button%1").arg(row.command));
    action->setProperty("commandId", int(row.command));
    action->setCheckable(row.style & TBSTYLE_CHECK);
    action->setEnabled(true);
    if (row.tooltip) action->setToolTip(QString::fromUtf8(row.tooltip));
    QToolBar* bar = toolbar_;
    int command = row.command;
    QObject::connect(action, &QAction::triggered, bar, [bar, command] { LSendCommand(bar, command, 0); });
  }
  AutoSize();
  toolbar_->show();
  return true;
}

QAction* LToolBar::Button(int command) const {
  if (!toolbar_) return nullptr;
  const auto actions = toolbar_->actions();
  for (QAction* action : actions)
    if (action->property("commandId").toInt() == command && !action->isSeparator()) return action;
  return nullptr;
}

void LToolBar::EnableButton(int command, bool enable) {
  if (QAction* action = Button(command)) action->setEnabled(enable);
}

bool LToolBar::IsButtonEnabled(int command) const {
  QAction* action = Button(command);
  return action && action->isEnabled();
}

void LToolBar::CheckButton(int command, bool check) {
  if (QAction* action = Button(command)) action->setChecked(check);
}

void LToolBar::SetButtonText(int command, const char* text) {
  if (QAction* action = Button(command)) action->setText(QString::fromUtf8(text));
}

void LToolBar::AutoSize() {
  if (!toolbar_ || !toolbar_->parentWidget()) return;
  QWidget* parent = toolbar_->parentWidget();
  toolbar_->setGeometry(0, 0, parent->width(), toolbar_->sizeHint().height());
}
