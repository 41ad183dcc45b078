#include "framework/widgets/dialog_items.h"

#include <QAbstractButton>
#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>
#include <algorithm>

#include "framework/widgets/win_defs.h"
#include "platform/debug_log.h"

namespace {
constexpr size_t kMaxText = 259;
}  // namespace

QMenuBar* LBuildMenu(QWidget* window, const std::vector<LMenuRow>& rows) {
  auto* bar = new QMenuBar(window);
  std::vector<QMenu*> stack;
  for (const LMenuRow& row : rows) {
    if (!row.text) {
      if (!stack.empty()) stack.pop_back();
      continue;
    }
    QString text = QString::fromUtf8(row.text);
    if (text.startsWith('|')) {
      QMenu* menu = stack.empty() ? bar->addMenu(text.mid(1)) : stack.back()->addMenu(text.mid(1));
      menu->setObjectName(text.mid(1).remove('&'));
      QObject::connect(menu, &QMenu::aboutToShow, window,
                       [window] { LDialogWindow::StaticDialogProc(window, WM_INITMENUPOPUP, 0, 0); });
      stack.push_back(menu);
    } else if (text == "-") {
      if (!stack.empty()) stack.back()->addSeparator();
    } else if (!stack.empty()) {
      QAction* action = stack.back()->addAction(text);
      LTagObjectId(action, row.id);
      action->setObjectName(QStringLiteral("menu%1").arg(row.id));
    }
  }
  return bar;
}

QAction* LFindMenuItem(QWidget* window, int id) {
  if (!window) return nullptr;
  const auto actions = window->findChildren<QAction*>();
  for (QAction* action : actions)
    if (LGetControlId(action) == id && action->objectName().startsWith("menu")) return action;
  return nullptr;
}

void LEnableControl(LDialog& dialog, int id, bool enable) {
  if (QWidget* w = dialog.Control(id)) w->setEnabled(enable);
}

void LEnableControls(LDialog& dialog, int first, int last, bool enable) {
  for (int id = first; id <= last; ++id) LEnableControl(dialog, id, enable);
}

void LEnableControlList(LDialog& dialog, const int* ids, bool enable) {
  for (; ids && *ids; ++ids) LEnableControl(dialog, *ids, enable);
}

void LEnableMenuItem(LDialog& dialog, int id, bool enable) {
  if (QAction* action = LFindMenuItem(dialog.Window(), id)) action->setEnabled(enable);
}

void LMoveControl(LDialog& dialog, int id, int x, int y, int width, int height) {
  if (QWidget* w = dialog.Control(id)) {
    w->setGeometry(x, y, std::max(0, width), std::max(0, height));
    w->update();
  }
}

int LDialogUnitsToPixelsY(const QWidget* window, int units) {
  QFontMetrics metrics(window ? window->font() : QFont());
  return (units * metrics.height() + 4) / 8;
}

int LDialogUnitsToPixelsX(const QWidget* window, int units) {
  QFontMetrics metrics(window ? window->font() : QFont());
  return (units * metrics.averageCharWidth() + 2) / 4;
}

void LMoveControlDU(LDialog& dialog, int id, int x, int y, int width, int height) {
  QWidget* w = dialog.Window();
  LMoveControl(dialog, id, LDialogUnitsToPixelsX(w, x), LDialogUnitsToPixelsY(w, y), LDialogUnitsToPixelsX(w, width),
               LDialogUnitsToPixelsY(w, height));
}

std::string LGetControlText(LDialog& dialog, int id) {
  QWidget* w = dialog.Control(id);
  QString text;
  if (auto* edit = qobject_cast<QLineEdit*>(w))
    text = edit->text();
  else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
    text = plain->toPlainText();
  else if (auto* label = qobject_cast<QLabel*>(w))
    text = label->text();
  else if (auto* button = qobject_cast<QAbstractButton*>(w))
    text = button->text();
  else if (auto* combo = qobject_cast<QComboBox*>(w))
    text = combo->currentText();
  std::string result = text.toStdString();
  if (result.size() > kMaxText) result.resize(kMaxText);
  return result;
}

void LSetControlText(LDialog& dialog, int id, const std::string& value) {
  QWidget* w = dialog.Control(id);
  QString text = QString::fromStdString(value);
  if (auto* edit = qobject_cast<QLineEdit*>(w))
    edit->setText(text);
  else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
    plain->setPlainText(text);
  else if (auto* label = qobject_cast<QLabel*>(w))
    label->setText(text);
  else if (auto* button = qobject_cast<QAbstractButton*>(w))
    button->setText(text);
}

void LFillComboBox(LDialog& dialog, int id, const char* const* texts) {
  auto* combo = dialog.ControlAs<QComboBox>(id);
  if (!combo) return;
  combo->clear();
  for (; texts && *texts; ++texts) combo->addItem(QString::fromUtf8(*texts));
}

bool LVSetImages(LDialog& dialog, int id, const int* iconIds) {
  auto* list = dialog.ControlAs<QTreeWidget>(id);
  if (!list) {
    LDebugLog("LDialog::LVSetImages ImageList_Create");
    return false;
  }
  QVariantList icons;
  for (; iconIds && *iconIds; ++iconIds) {
    QIcon icon = LLoadIcon(*iconIds);
    if (icon.isNull()) LDebugLog("LDialog::LVSetImages LoadIconError");
    icons.push_back(QVariant::fromValue(icon));
  }
  list->setProperty("imageList", icons);
  return true;
}

void LVSetColumns(LDialog& dialog, int id, const LListColumn* columns) {
  auto* list = dialog.ControlAs<QTreeWidget>(id);
  if (!list) return;
  QStringList titles;
  int count = 0;
  for (const LListColumn* c = columns; c && c->title; ++c) ++count;
  list->setColumnCount(count);
  int used = 0;
  for (int i = 0; i < count; ++i) {
    titles << QString::fromUtf8(columns[i].title);
    int width = columns[i].width;
    if (width < 0) width = std::max(0, list->viewport()->width() - used);
    list->setColumnWidth(i, width);
    used += width;
  }
  list->setHeaderLabels(titles);
  for (int i = 0; i < count; ++i) list->headerItem()->setTextAlignment(i, columns[i].format);
}

void LVLastColumn(LDialog& dialog, int id, int column, int minimum) {
  auto* list = dialog.ControlAs<QTreeWidget>(id);
  if (!list) return;
  int others = 0;
  for (int i = 0; i < list->columnCount(); ++i)
    if (i != column) others += list->columnWidth(i);
  list->setColumnWidth(column, std::max(minimum, list->viewport()->width() - others));
}

void LVSelect(LDialog& dialog, int id, int index) {
  auto* list = dialog.ControlAs<QTreeWidget>(id);
  if (!list) return;
  list->clearSelection();
  QTreeWidgetItem* item = list->topLevelItem(index);
  if (!item) return;
  item->setSelected(true);
  list->setCurrentItem(item);
}

void LVStripeRows(QTreeWidget* list, const QColor& even, const QColor& odd) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    for (int c = 0; c < list->columnCount(); ++c) list->topLevelItem(i)->setBackground(c, i % 2 == 0 ? even : odd);
}

QIcon LLoadIcon(int id) {
  QIcon icon(QStringLiteral(":/icons/%1.svg").arg(id));
  return icon.availableSizes().isEmpty() && icon.pixmap(16).isNull() ? QIcon() : icon;
}

QIcon LLoadBitmap(int id) {
  QIcon icon(QStringLiteral(":/bitmaps/%1.svg").arg(id));
  return icon.pixmap(16).isNull() ? QIcon() : icon;
}

// The styled controls always draw images with transparency.
bool IsXPControls() { return true; }

void LSetImageButton(LDialog& dialog, int id, int bitmapId) {
  if (auto* button = dialog.ControlAs<QAbstractButton>(id)) {
    button->setIcon(LLoadBitmap(bitmapId));
    button->update();
  }
}

void LSetIconButton(LDialog& dialog, int id, int iconId) {
  if (auto* button = dialog.ControlAs<QAbstractButton>(id)) button->setIcon(LLoadIcon(iconId));
}

void LAddTool(LDialog& holder, int id, const char* text) {
  QWidget* control = holder.Control(id);
  if (!control) {
    LDebugLog("LPlayerBaseDlg::AddTool Unable to create window");
    return;
  }
  control->setToolTip(QString::fromUtf8(text));
}

void LAddTools(LDialog& holder, const LToolRow* rows, int count) {
  for (int i = 0; i < count; ++i) LAddTool(holder, rows[i].id, rows[i].text);
}

void LUpdateTool(LDialog& holder, int id, const char* text) {
  QWidget* control = holder.Control(id);
  if (control && !control->toolTip().isEmpty()) control->setToolTip(QString::fromUtf8(text));
}

bool SetUpDownButton(LDialog& dialog, int id) {
  auto* button = dialog.ControlAs<QAbstractButton>(id);
  if (!button) {
    LDebugLog("LDialog::SetUpDownButton invalid control");
    return false;
  }
  QObject::connect(button, &QAbstractButton::pressed, button,
                   [button, id] { LSendCommand(button, id, BN_PUSHED_DOWN); });
  QObject::connect(button, &QAbstractButton::released, button,
                   [button, id] { LSendCommand(button, id, BN_PUSHED_UP); });
  return true;
}

void AddDialogButtons(QDialog* window, QBoxLayout* layout, const QString& okText, LButtonRow buttons) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  auto* ok = new QPushButton(okText, window);
  ok->setDefault(true);
  row->addWidget(LSetControlId(ok, IDOK));
  if (buttons != LButtonRow::kOk)
    row->addWidget(LSetControlId(new QPushButton(QStringLiteral("Cancel"), window), IDCANCEL));
  if (buttons == LButtonRow::kOkCancelHelp)
    row->addWidget(LSetControlId(new QPushButton(QStringLiteral("Help"), window), IDHELP));
  layout->addLayout(row);
}
