#pragma once
// The ready-made prompt-and-edit-line dialog (template "LTEXTEDITDLG").
#include <string>

#include "framework/widgets/dialog.h"

class LTextEditDlg : public LDialog {
 public:
  static constexpr int kEdit = 100;
  static constexpr int kPrompt = 101;
  static constexpr size_t kMaxText = 259;

  // text is read at InitDialog and written back on OK.
  LTextEditDlg(std::string& text, std::string prompt) : text_(text), prompt_(std::move(prompt)) {}
  int Run(QWidget* owner) { return DoModal(Template(), owner); }
  static const LDialogTemplate& Template();

  void InitDialog() override;
  bool CmOk() override;

 private:
  std::string& text_;
  std::string prompt_;
};
