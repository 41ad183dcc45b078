#include "framework/widgets/text_edit_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "framework/widgets/dialog_items.h"

namespace {

bool BuildTextEdit(QDialog* window) {
  auto* layout = new QVBoxLayout(window);
  layout->addWidget(LSetControlId(new QLabel(window), LTextEditDlg::kPrompt));
  auto* edit = new QLineEdit(window);
  edit->setMaxLength(int(LTextEditDlg::kMaxText));
  edit->setMinimumWidth(260);
  layout->addWidget(LSetControlId(edit, LTextEditDlg::kEdit));
  AddDialogButtons(window, layout, QStringLiteral("OK"), LButtonRow::kOkCancel);
  return true;
}

}  // namespace

const LDialogTemplate& LTextEditDlg::Template() {
  static const LDialogTemplate kTemplate{"LTEXTEDITDLG", BuildTextEdit};
  return kTemplate;
}

void LTextEditDlg::InitDialog() {
  Window()->setWindowTitle(QString::fromStdString(prompt_));
  LSetControlText(*this, kPrompt, prompt_);
  if (auto* edit = ControlAs<QLineEdit>(kEdit)) {
    edit->setText(QString::fromStdString(text_));
    edit->selectAll();
    edit->setFocus();
  }
}

bool LTextEditDlg::CmOk() {
  text_ = LGetControlText(*this, kEdit);
  return true;
}
