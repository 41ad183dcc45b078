#include "companion/related_programs.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "companion/install_on_demand.h"
#include "companion/launcher.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/progress_dialog.h"
#include "framework/widgets/win_defs.h"

const std::vector<LRelatedProgram>& RelatedPrograms() {
  static const std::vector<LRelatedProgram> rows = {
      {101, 201, "Soundsmith", "RunEdit", "soundsmith-setup", "Soundsmith: record, cut and clean up sound",
       "soundsmith"},
      {102, 202, "Wordwell", "Run", "wordwell-setup", "Wordwell: vocabulary cards with sound", "wordwell"},
      {103, 203, "Scribewise", "Run", "scribewise-setup", "Scribewise: dictation practice", "scribewise"},
      {104, 204, "Tunewright", "Run", "tunewright-setup", "Tunewright: hear and sing pitches", "tunewright"},
      {105, 205, "Pagecast", "Run", "pagecast-setup", "Pagecast: have texts read aloud", "pagecast"},
  };
  return rows;
}

int InstallRelatedPrograms(const std::vector<bool>& checked,
                           const std::function<int(const LRelatedProgram&)>& install) {
  const auto& rows = RelatedPrograms();
  for (size_t i = 0; i < rows.size() && i < checked.size(); ++i)
    if (checked[i] && install(rows[i]) != kCompanionDone) return int(i);
  return -1;
}

bool AnyRelatedProgramMissing() {
  for (const LRelatedProgram& row : RelatedPrograms())
    if (CompanionMissing(row.productKey, row.valueName, row.program)) return true;
  return false;
}

void RunRelatedProgramsSheet(QWidget* owner) {
  if (!AnyRelatedProgramMissing()) return;
  LRelatedProgramsPage page;
  LPropertySheet sheet("Related Programs", LPropertySheet::kWizard);
  sheet.SetHeading("Which optional related programs do you want to install now?");
  sheet.AddPage(&page);
  sheet.Run(owner);
}

namespace {

bool BuildPage(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Related Programs"));
  auto* layout = new QVBoxLayout(window);
  layout->addWidget(new QLabel(QStringLiteral("Check the free programs you want to install:"), window));
  for (const LRelatedProgram& row : RelatedPrograms()) {
    layout->addWidget(LSetControlId(new QCheckBox(QString::fromUtf8(row.productKey), window), row.checkId));
    layout->addWidget(LSetControlId(new QLabel(QString::fromUtf8(row.description), window), row.textId));
  }
  layout->addStretch();
  return true;
}

class InstallWindow : public LProgressDialog {
 public:
  InstallWindow(const LRelatedProgram& row) : LProgressDialog(std::string("Installing ") + row.productKey), row_(row) {}
  int result = kCompanionFailed;

 protected:
  bool Process() override {
    result = CompanionInstall(*this, row_.setupName);
    return result == kCompanionDone;
  }

 private:
  const LRelatedProgram& row_;
};

}  // namespace

const LDialogTemplate& LRelatedProgramsPage::Template() {
  static const LDialogTemplate page{"RelatedPrograms", BuildPage};
  return page;
}

void LRelatedProgramsPage::InitDialog() {
  for (const LRelatedProgram& row : RelatedPrograms()) {
    bool missing = CompanionMissing(row.productKey, row.valueName, row.program);
    LEnableControl(*this, row.checkId, missing);
    LEnableControl(*this, row.textId, missing);
  }
  if (Sheet() && Sheet()->Window())
    for (QPushButton* button : Sheet()->Window()->findChildren<QPushButton*>())
      if (button->property("controlId").toInt() == IDC_SHEET_FINISH) button->setText(QStringLiteral("Install"));
}

bool LRelatedProgramsPage::CmOk() {
  std::vector<bool> checked;
  for (const LRelatedProgram& row : RelatedPrograms()) {
    auto* box = ControlAs<QCheckBox>(row.checkId);
    checked.push_back(box && box->isEnabled() && box->isChecked());
  }
  InstallRelatedPrograms(checked, [this](const LRelatedProgram& row) {
    InstallWindow install(row);
    install.Run(Window());
    if (install.result != kCompanionDone)
      LMessageBox(Window(),
                  std::string("Cannot download and install the program \"") + row.productKey +
                      "\". Please download it manually following the links from https://www.kestrelon.com/software.",
                  "", MB_OK | MB_ICONERROR);
    return install.result;
  });
  return true;
}
